#!/usr/bin/env python3
"""SMS per minute of 1, 2 and 4 headless stations sharing one database, each on its own modem
simulator with the network's delay per SMS (default 2 s), and how near that is to linear.

  bench_stations.py --parlix build/bin/parlix --sim build/bin/parlix-modemsim \
      [--backend postgresql] [--rows 40 (per station)] [--body-latency 2000] [--send-pause 100]

The claim time per row alone comes from bench_claims.
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "app"))
import stations  # noqa: E402
from stations import Station, count_where, prepare, queue, wait_until  # noqa: E402


def bench(args, folder):
    """SMS per minute for 1, 2 and 4 stations."""
    results = []
    for count in (1, 2, 4):
        sub = os.path.join(folder, "n%d" % count)
        os.mkdir(sub)
        db = prepare(args, sub)
        group = []
        try:
            group = [Station(args, db, sub, "b%d" % n) for n in range(count)]
            rows = args.rows * count
            queue(db, rows)
            for s in group:
                s.start()
            first = time.monotonic()
            if not wait_until(lambda: count_where(db, "DeliveryStatus='SENT'") >= 1, 60):
                raise RuntimeError("nothing sent")
            start = time.monotonic()
            base = count_where(db, "DeliveryStatus='SENT'")
            wait_until(lambda: count_where(db, "DeliveryStatus='SENT'") >= rows, args.timeout)
            took = time.monotonic() - start
            done = count_where(db, "DeliveryStatus='SENT'") - base
            per_minute = done / took * 60
            results.append((count, per_minute))
            print("%d station(s): %d SMS in %.1f s after the first (%.1f s to it): %.1f SMS/min" % (
                count, done, took, start - first, per_minute))
        finally:
            for s in group:
                s.stop()
            db.close()
    single = results[0][1]
    for count, per_minute in results:
        print("%d station(s): %.1f SMS/min, %.0f %% of linear" % (count, per_minute, 100 * per_minute / (single *
                                                                                                          count)))
    return []


if __name__ == "__main__":
    for option, value in (("--backend", "postgresql"), ("--body-latency", "2000"), ("--send-pause", "100"),
                          ("--rows", "40")):
        if option not in sys.argv:
            sys.argv += [option, value]
    sys.exit(stations.main(bench))
