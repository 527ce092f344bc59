#!/usr/bin/env python3
"""Measures `korva scan` against the floor and against a plain baseline.

    bench_scan.py --korva PATH --floor PATH --header-db PATH --work DIR
                  [--counts 10000] [--runs 5]

For every count it generates a ROM directory (gen_roms.py) unless one is
already there, then runs the jobs interleaved, `runs` times each, after one
warm-up run of each (warm cache): the scan as it runs by default (reading
ahead on the machine's other cores), the same scan on one thread
(`--threads 1`), the floor and the baseline. It prints the medians, the
ratios scan/floor and baseline/scan, and the peak memory (maximum resident
set) of the scan.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def run(cmd):
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        sys.exit("command failed (%d): %s\n%s" % (code, " ".join(cmd), err))
    return elapsed, usage.ru_maxrss / 1024.0  # seconds, MiB


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--korva", required=True)
    ap.add_argument("--floor", required=True)
    ap.add_argument("--header-db", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--counts", default="10000")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--no-baseline", action="store_true", help="skip the Python baseline")
    args = ap.parse_args()

    rows = []
    for count in [int(c) for c in args.counts.split(",")]:
        romdir = os.path.join(args.work, "roms-%d" % count)
        if not os.path.isdir(romdir) or len(os.listdir(romdir)) != count:
            subprocess.run([sys.executable, os.path.join(HERE, "gen_roms.py"), romdir, str(count),
                            "--header-db", args.header_db], check=True)
        db = os.path.join(args.work, "korva_db-%d.xml" % count)
        jobs = {
            "scan": [args.korva, "scan", romdir, "--db", db],
            "scan1": [args.korva, "scan", romdir, "--db", db, "--threads", "1"],
            "floor": [args.floor, romdir],
        }
        if not args.no_baseline:
            jobs["baseline"] = [sys.executable, os.path.join(HERE, "scan_baseline.py"), romdir, args.header_db,
                                os.path.join(args.work, "baseline-%d.xml" % count)]
        times = {k: [] for k in jobs}
        memory = {k: [] for k in jobs}
        for k, cmd in jobs.items():  # warm-up: the files are in the page cache from here on
            run(cmd)
        for _ in range(args.runs):
            for k, cmd in jobs.items():
                t, m = run(cmd)
                times[k].append(t)
                memory[k].append(m)
        med = {k: statistics.median(v) for k, v in times.items()}
        row = {"count": count, **{k + "_s": med[k] for k in med}, "scan_peak_mib": max(memory["scan"]),
               "scan_per_floor": med["scan"] / med["floor"], "scan1_per_floor": med["scan1"] / med["floor"]}
        if "baseline" in med:
            row["baseline_per_scan"] = med["baseline"] / med["scan"]
        rows.append(row)
        print("files %6d: scan %.3f s (%.0f files/s, peak %.1f MiB), one thread %.3f s, floor %.3f s, "
              "scan/floor %.2f (one thread %.2f)%s" % (
            count, med["scan"], count / med["scan"], row["scan_peak_mib"], med["scan1"], med["floor"],
            row["scan_per_floor"], row["scan1_per_floor"],
            ", baseline %.3f s, baseline/scan %.1f" % (med["baseline"], row["baseline_per_scan"])
            if "baseline" in med else ""), flush=True)
    print()
    print("| files | scan (s) | one thread (s) | floor (s) | scan/floor | one thread/floor | baseline (s) "
          "| baseline/scan | scan peak (MiB) |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for r in rows:
        print("| %d | %.3f | %.3f | %.3f | %.2f | %.2f | %s | %s | %.1f |" % (
            r["count"], r["scan_s"], r["scan1_s"], r["floor_s"], r["scan_per_floor"], r["scan1_per_floor"],
            "%.3f" % r["baseline_s"] if "baseline_s" in r else "-",
            "%.1f" % r["baseline_per_scan"] if "baseline_per_scan" in r else "-", r["scan_peak_mib"]))


if __name__ == "__main__":
    main()
