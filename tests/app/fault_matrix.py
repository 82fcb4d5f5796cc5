#!/usr/bin/env python3
"""Drives the headless gateway against the modem simulator through the faults a field modem
shows, and checks after each one: no SMS lost (each SMS put on the SIM is in the inbox once or
still on the SIM), none sent twice beyond the one in flight at a kill, and the gateway alive or
restarted cleanly. Prints a table of the scenarios; exits 1 when one failed.

  fault_matrix.py --parlix build/bin/parlix --sim build/bin/parlix-modemsim [SCENARIO ...]
"""
import argparse
import os
import re
import signal
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time


def gateway_environment(**extra):
    """The environment of a headless gateway: no display, no default database, quick reconnects."""
    env = dict(os.environ, PARLIX_RECONNECT_PAUSES_MS="300,2000", **extra)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "PARLIX_DATABASE"):
        env.pop(name, None)
    return env


def wait_until(check, timeout, step=0.2):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if check():
            return True
        time.sleep(step)
    return False


class Lines:
    """Collects the lines a child process writes, on a thread of its own."""

    def __init__(self, stream):
        self.lines = []
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for raw in iter(stream.readline, b""):
            self.lines.append(raw.decode("utf-8", "replace").rstrip("\r\n"))

    def wait(self, text, timeout, start=0):
        return wait_until(lambda: any(text in line for line in self.lines[start:]), timeout, 0.05)


class Simulator:
    def __init__(self, exe, link, *options):
        self.proc = subprocess.Popen([exe, "--link", link, *options], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)
        self.out = Lines(self.proc.stdout)
        self.marks = 0
        self.ask("")  # the device path comes first

    def send(self, line):
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()

    def ask(self, line):
        """The lines a control line prints (ended by the echo of an unknown word)."""
        self.marks += 1
        mark = "? mark%d (see --help)" % self.marks
        start = len(self.out.lines)
        self.send((line + "\n" if line else "") + "mark%d" % self.marks)
        if not self.out.wait(mark, 10, start):
            raise RuntimeError("the simulator does not answer")
        got = self.out.lines[start:]
        return got[:got.index(mark)]

    def sim_texts(self):
        """The texts of the received SMS still on the SIM."""
        found = (re.match(r'\d+ "REC (?:UN)?READ" \S+ (.*)$', line) for line in self.ask("list"))
        return [m.group(1) for m in found if m]

    def sent_texts(self):
        found = (re.match(r"\S+ \S+ #\d+(?: \[ref \d+ part \d+/\d+\])? (.*)$", line) for line in self.ask("sent"))
        return [m.group(1) for m in found if m]

    def stop(self):
        if self.proc.poll() is None:
            self.send("quit")
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class Case:
    def __init__(self, args, name):
        self.args, self.name = args, name
        self.dir = tempfile.TemporaryDirectory(prefix="parlix-faults-")
        self.db = os.path.join(self.dir.name, "parlix.db")
        self.link = os.path.join(self.dir.name, "modem")
        self.gateway, self.sim, self.runs, self.placed, self.queued = None, None, [], [], []
        subprocess.run([args.parlix, "settings", "show", "--database", self.db], check=True,
                       stdout=subprocess.DEVNULL, env=gateway_environment())
        with self.sql() as db:
            db.execute("UPDATE Timer_Setting SET ReceiveAllMessagesTime=1, SendAllMessagesTime=1")
            db.execute("INSERT INTO ModemSettings (CommPortNo,BitsPerSecond,DataBits,Parity,StopBits,FlowControl,"
                       "CharacterSet,EnabledCallerId,ModemDelayFactor,SMSFormat) "
                       "VALUES (?,115200,8,'n','1','0','GSM',0,0.5,'TEXT')", (self.link,))

    def sql(self):
        return sqlite3.connect(self.db, timeout=10, isolation_level=None)

    def count(self, condition):
        with self.sql() as db:
            return db.execute("SELECT COUNT(*) FROM Message_OutBox WHERE " + condition).fetchone()[0]

    def start_sim(self, *options):
        self.sim = Simulator(self.args.sim, self.link, *options)

    def start(self):
        proc = subprocess.Popen([self.args.parlix, "--headless", "--database", self.db], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, env=gateway_environment())
        self.gateway = (proc, Lines(proc.stdout))
        self.runs.append(self.gateway)
        return self.gateway[1]

    def put_on_sim(self, count):
        for i in range(count):
            self.placed.append("%s in %d" % (self.name, i))
            self.sim.ask("sms +4477009001%02d %s" % (i, self.placed[-1]))

    def queue_sms(self, count):
        with self.sql() as db:
            for i in range(count):
                self.queued.append("%s out %d" % (self.name, i))
                db.execute("INSERT INTO Message_OutBox (RecipientMobileNo,Message,OutBoxDateTime,DeliveryStatus) "
                           "VALUES (?,?,datetime('now','localtime'),'')", ("+4477009002%02d" % i, self.queued[-1]))

    def stop(self, timeout=15):
        """SIGTERM; whether the gateway then ended cleanly in time."""
        proc = self.gateway[0]
        proc.send_signal(signal.SIGTERM)
        try:
            return proc.wait(timeout) == 0
        except subprocess.TimeoutExpired:
            return False

    def finish(self, timeout, in_flight=0, allow_sending=0, note=""):
        """Waits until the SIM is empty and every queued SMS is sent (or left at SENDING), then the
        common checks; returns (ok, outcome text)."""
        settled = wait_until(lambda: self.count("COALESCE(DeliveryStatus,'') NOT IN ('SENT','SENDING')") == 0 and
                             self.count("DeliveryStatus='SENDING'") <= allow_sending and not self.sim.sim_texts(),
                             timeout)
        problems = [] if settled else ["not settled"]
        with self.sql() as db:
            inbox = [r[0] for r in db.execute("SELECT Message FROM Message_InBox")]
        on_sim = self.sim.sim_texts()
        for text in self.placed:
            n, left = inbox.count(text), on_sim.count(text)
            if not (n == 1 and left == 0 or n == 0 and left == 1):
                problems.append("%r: %d in inbox, %d on SIM" % (text, n, left))
        sent = self.sim.sent_texts()
        extra = sum(max(0, sent.count(t) - 1) for t in self.queued)
        if extra > in_flight:
            problems.append("%d sent twice" % extra)
        if self.gateway[0].poll() is not None:
            problems.append("gateway not alive")
        elif not self.stop():
            problems.append("no clean stop")
        outcome = "%d/%d stored, %d/%d sent, %d resent%s" % (
            sum(t in inbox for t in self.placed), len(self.placed), sum(t in sent for t in self.queued),
            len(self.queued), extra, note)
        return not problems, outcome + ("; " + "; ".join(problems) if problems else "")

    def close(self):
        for proc, _ in self.runs:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        if self.sim:
            self.sim.stop()
        self.dir.cleanup()


# ---- the scenarios: each returns (ok, outcome); one that raises failed --------------------------

def sending(c, latency, count):
    """The gateway started on a slow network with SMS queued, once its first send began."""
    c.start_sim("--body-latency", str(latency))
    c.queue_sms(count)
    if not c.start().wait("Sending SMS to", 10):
        raise RuntimeError("no send began")


def unplug_mid_send(c):
    sending(c, 600, 3)
    c.sim.ask("unplug")
    time.sleep(1)
    c.sim.ask("replug")
    return c.finish(25, in_flight=1)


def slow_answer(c, command, ms, awaited):
    """The gateway started with SMS on the SIM and a slow answer to command, once awaited is logged."""
    c.start_sim()
    c.put_on_sim(4)
    c.sim.ask("latency %s %d" % (command, ms))
    if not c.start().wait(awaited, 10):
        raise RuntimeError("%r was never logged" % awaited)


def unplug_mid_listing(c):
    slow_answer(c, "AT+CMGL", 1500, "Checking for new SMS on SIM card.")
    time.sleep(0.5)
    c.sim.ask("unplug")
    time.sleep(1)
    c.sim.ask("latency AT+CMGL 0")
    c.sim.ask("replug")
    return c.finish(25)


def modem_faults(*faults):
    def scenario(c):
        c.start_sim()
        c.put_on_sim(3)
        c.queue_sms(2)
        for fault in faults:
            c.sim.ask(fault)
        c.start()
        # A fault after the body was accepted (a lost answer) may send that SMS once more.
        return c.finish(30, in_flight=1)
    return scenario


def kill_during_send(c):
    sending(c, 1500, 3)
    time.sleep(0.5)
    c.gateway[0].kill()
    c.gateway[0].wait()
    left = c.count("DeliveryStatus='SENDING'")
    log = c.start()
    reported = log.wait("%d SMS in the outbox were left at \"SENDING\"" % left, 10) if left else True
    if left > 1 or not reported:
        return False, "%d left at SENDING, reported: %s" % (left, reported)
    return c.finish(25, allow_sending=left, note=" (%d left at SENDING, reported at start)" % left)


def kill_during_receive(c):
    slow_answer(c, "AT+CMGD", 600, "Deleting SMS No.")
    c.gateway[0].kill()
    c.gateway[0].wait()
    c.sim.ask("latency AT+CMGD 0")
    c.start()
    return c.finish(20)


def database_locked(c):
    c.start_sim()
    c.put_on_sim(3)
    # Another program holds a write transaction for longer than the gateway waits for it.
    holder = subprocess.Popen(["sqlite3", c.db], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    holder.stdin.write(b"BEGIN IMMEDIATE;\nUPDATE Message_OutBox SET Message=Message;\n")
    holder.stdin.flush()
    locked = c.start().wait("could not be stored", 15)
    holder.communicate(b"COMMIT;\n.quit\n", timeout=10)
    return c.finish(20, note="" if locked else " (the lock was never met)")


def sigterm_slow_network(c):
    sending(c, 2000, 5)
    time.sleep(0.3)
    began = time.monotonic()
    clean = c.stop(timeout=10)
    took = time.monotonic() - began
    left = c.count("DeliveryStatus='SENDING'")
    return clean and took < 5 and left <= 1, "%s in %.1f s, %d left at SENDING" % (
        "exited cleanly" if clean else "no clean exit", took, left)


# How often the absence is logged is the reconnect's own test; here the gateway waits it out.
def modem_appears_late(c):
    c.queue_sms(1)
    log = c.start()
    time.sleep(10)
    began = time.monotonic()
    c.start_sim()
    if not log.wait("Connection to GSM Modem successful.", 60):
        return False, "never connected"
    return c.finish(20, note="; connected %.1f s after the modem appeared" % (time.monotonic() - began))


SCENARIOS = {
    "unplug-mid-send": unplug_mid_send,
    "unplug-mid-listing": unplug_mid_listing,
    "silent-modem": modem_faults("fail AT+CMGL silence 2", "fail AT+CMGS silence 1"),
    "garbage-lines": modem_faults("fail AT+CMGL garbage 2", "fail AT+CMGS garbage 1", "raw \\r\\n%$#@!\\r\\n"),
    "cms-error-storm": modem_faults("fail BODY cms 500 4", "fail AT+CMGD cms 321 3"),
    "kill9-during-send": kill_during_send,
    "kill9-during-receive": kill_during_receive,
    "database-locked": database_locked,
    "sigterm-slow-network": sigterm_slow_network,
    "modem-appears-late": modem_appears_late,
}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--parlix", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("scenarios", nargs="*", default=list(SCENARIOS))
    args = parser.parse_args()
    failed = 0
    print("%-22s  %-4s  %5s  %s" % ("scenario", "ok", "secs", "outcome"))
    for name in args.scenarios:
        case, began = Case(args, name), time.monotonic()
        try:
            ok, outcome = SCENARIOS[name](case)
        except Exception as e:  # a broken scenario is a failed one, and the others still run
            ok, outcome = False, "%s: %s" % (type(e).__name__, e)
        finally:
            case.close()
        failed += not ok
        if os.environ.get("FAULT_MATRIX_VERBOSE") == "all" or not ok and os.environ.get("FAULT_MATRIX_VERBOSE"):
            for proc, lines in case.runs:
                print("\n".join(lines.lines[-60:]))
        print("%-22s  %-4s  %5.1f  %s" % (name, "yes" if ok else "NO", time.monotonic() - began, outcome), flush=True)
    return 1 if failed else 0

if __name__ == "__main__":
    sys.exit(main())
