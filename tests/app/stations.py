#!/usr/bin/env python3
"""Three headless stations, each on its own modem simulator, share one database (an SQLite file,
or a throw-away PostgreSQL server): every queued SMS goes out exactly once, the SMS put on each
SIM land in the inbox once, marked with their station, and a station killed with SIGKILL in the
middle of a pass leaves at most the row it was sending at "SENDING" (its name on it) while the
others send the rest.

  stations.py --parlix build/bin/parlix --sim build/bin/parlix-modemsim --backend sqlite|postgresql
              [--rows N] [--body-latency MS] [--send-pause MS]
"""
import argparse
import os
import pwd
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time
from collections import Counter

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fault_matrix import Lines, Simulator, gateway_environment, wait_until  # noqa: E402

PG_BIN = "/usr/lib/postgresql/15/bin"
PG_USER = "parlix_test"
ARGS = None


class Database:
    """An SQLite file, or a throw-away PostgreSQL server: initdb and pg_ctl in a temporary folder
    on a free loopback port (as nobody under root)."""

    def __init__(self, backend, folder):
        self.pg, self.as_user = None, []
        self.address = os.path.join(folder, "parlix.db")
        if backend != "postgresql":
            return
        self.pg = os.path.join(folder, "pg")
        os.mkdir(self.pg)
        if os.geteuid() == 0:
            nobody = pwd.getpwnam("nobody")
            os.chown(self.pg, nobody.pw_uid, nobody.pw_gid)
            self.as_user = ["runuser", "-u", "nobody", "--"]
        self.tool("initdb", "-D", "data", "-U", PG_USER, "--auth=trust", "-E", "UTF8", "--locale=C.UTF-8", "--no-sync")
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.port = s.getsockname()[1]
        self.tool("pg_ctl", "-D", "data", "-l", "server.log", "-w", "-o",
                  "-p %d -k %s -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off "
                  "-c max_connections=60" % (self.port, self.pg), "start")
        self.psql("CREATE DATABASE parlix", "postgres")
        self.address = "postgresql://%s@127.0.0.1:%d/parlix" % (PG_USER, self.port)

    def tool(self, name, *args):
        subprocess.run(self.as_user + [os.path.join(PG_BIN, name), *args], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.STDOUT, cwd=self.pg)

    def psql(self, query, db="parlix"):
        out = subprocess.run(["psql", "-h", "127.0.0.1", "-p", str(self.port), "-U", PG_USER, "-d", db, "-At",
                              "-F", "\t", "-v", "ON_ERROR_STOP=1", "-f", "-"], input=query, check=True,
                             capture_output=True, text=True).stdout
        return [tuple(line.split("\t")) for line in out.splitlines() if line]

    def rows(self, query):
        """Rows as tuples of text (the psql reader gives text; SQLite's values are turned to it)."""
        if self.pg:
            return self.psql(query)
        with sqlite3.connect(self.address, timeout=30) as db:
            return [tuple("" if v is None else str(v) for v in r) for r in db.execute(query).fetchall()]

    def run(self, script):
        if self.pg:
            self.psql(script)
        else:
            with sqlite3.connect(self.address, timeout=30, isolation_level=None) as db:
                db.executescript(script)

    def close(self):
        if self.pg:
            self.tool("pg_ctl", "-D", "data", "-m", "immediate", "stop")


class Station:
    def __init__(self, args, db, folder, name):
        self.args, self.db, self.name = args, db, name
        self.link = os.path.join(folder, name + "-modem")
        self.sim = Simulator(args.sim, self.link, "--body-latency", str(args.body_latency))
        self.proc = None
        # This station's modem: set by the command line, as an operator would.
        subprocess.run([args.parlix, "settings", "set", "--database", db.address, "--station", name, "CommPortNo",
                        self.link, "BitsPerSecond", "115200", "ModemDelayFactor", "1"], check=True,
                       stdout=subprocess.DEVNULL, env=environment())

    def start(self):
        self.proc = subprocess.Popen([self.args.parlix, "--headless", "--database", self.db.address, "--station",
                                      self.name], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     env=environment())
        self.out = Lines(self.proc.stdout)

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(20)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.sim.stop()


def environment():
    return gateway_environment(PARLIX_SEND_PAUSE_MS=str(ARGS.send_pause))


def prepare(args, folder):
    db = Database(args.backend, folder)
    subprocess.run([args.parlix, "settings", "show", "--database", db.address], check=True,
                   stdout=subprocess.DEVNULL, env=environment())
    db.run("UPDATE Timer_Setting SET ReceiveAllMessagesTime=1, SendAllMessagesTime=1;")
    return db


def queue(db, count):
    values = ",".join("('+44770%06d','row %d','2026-01-01 00:00:00','')" % (i, i) for i in range(count))
    db.run("INSERT INTO Message_OutBox (RecipientMobileNo,Message,OutBoxDateTime,DeliveryStatus) VALUES %s;" % values)


def count_where(db, condition):
    return int(db.rows("SELECT COUNT(*) FROM Message_OutBox WHERE " + condition)[0][0])


def three_stations(args, folder):
    problems = []
    db = prepare(args, folder)
    stations = []
    try:
        stations = [Station(args, db, folder, "st%d" % n) for n in (1, 2, 3)]
        placed = {}
        for s in stations:
            # The same SMS at the same place on every SIM is every station's own.
            texts = ["same for all"] + ["%s in %d" % (s.name, i) for i in range(4)]
            for text in texts:
                s.sim.ask("sms +447700900100 " + text)
            placed[s.name] = texts
        queue(db, args.rows)
        started = time.monotonic()
        for s in stations:
            s.start()

        victim = stations[0]
        if not wait_until(lambda: len(victim.sim.sent_texts()) >= args.rows // 20 and not victim.sim.sim_texts(), 60):
            problems.append("%s sent nothing" % victim.name)
        victim.proc.send_signal(signal.SIGKILL)
        victim.proc.wait()
        killed_at = time.monotonic() - started

        done = wait_until(lambda: count_where(db, "COALESCE(DeliveryStatus,'') NOT IN ('SENT','SENDING')") == 0 and
                          count_where(db, "DeliveryStatus='SENDING'") <= 1, args.timeout)
        took = time.monotonic() - started
        if not done:
            problems.append("not all sent in %d s" % args.timeout)

        sending = db.rows("SELECT Message,ClaimedBy FROM Message_OutBox WHERE DeliveryStatus='SENDING'")
        if len(sending) > 1 or any(by != victim.name for _, by in sending):
            problems.append("left at SENDING: %r" % sending)
        # Every row in the simulators' sent lists once; the one left at SENDING at most once. The
        # outbox names the station of each row its modem sent, but for the one in flight (a row
        # marked sent without its station shows here too).
        in_flight = {m for m, _ in sending}
        sent, by_station, marked = Counter(), {}, {}
        for s in stations:
            texts = s.sim.sent_texts()
            sent.update(texts)
            by_station[s.name] = len(texts)
            marked[s.name] = sum(t not in in_flight for t in texts)
        twice = ["row %d" % i for i in range(args.rows) if sent["row %d" % i] != 1]
        problems += ["%r sent %d times" % (t, sent[t]) for t in twice if not (t in in_flight and sent[t] == 0)][:10]
        for name, n in db.rows("SELECT SentBy,COUNT(*) FROM Message_OutBox WHERE DeliveryStatus='SENT' GROUP BY SentBy"):
            if int(n) != marked.get(name, -1):
                problems.append("SentBy %s: %s rows, its modem sent %s" % (name, n, by_station.get(name)))

        inbox = db.rows("SELECT Message,ReceivedBy FROM Message_InBox")
        for s in stations:
            for text in placed[s.name]:
                n = inbox.count((text, s.name))
                if n != 1:
                    problems.append("%r of %s in the inbox %d times" % (text, s.name, n))
        print("%s: %d rows by 3 stations in %.1f s (%s killed at %.1f s); sent by station %s; %d left at SENDING" % (
            args.backend, args.rows, took, victim.name, killed_at, by_station, len(sending)))
    finally:
        for s in stations:
            s.stop()
        db.close()
    return problems


def main(run=None):
    parser = argparse.ArgumentParser()
    parser.add_argument("--parlix", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--backend", choices=("sqlite", "postgresql"), default="sqlite")
    parser.add_argument("--rows", type=int, default=3000)
    parser.add_argument("--body-latency", type=int, default=0)
    parser.add_argument("--timeout", type=int, default=240)
    parser.add_argument("--send-pause", type=int, default=0, help="ms after each SMS (the program's own: 100)")
    global ARGS
    args = ARGS = parser.parse_args()
    if args.backend == "postgresql" and not os.path.exists(os.path.join(PG_BIN, "initdb")):
        print("SKIP: no PostgreSQL server in %s (scripts/setup.sh installs it)" % PG_BIN)
        return 0
    folder = tempfile.mkdtemp(prefix="parlix-stations-")
    if os.geteuid() == 0:
        os.chmod(folder, 0o755)
    try:
        problems = (run or three_stations)(args, folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    for p in problems:
        print("FAIL: " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
