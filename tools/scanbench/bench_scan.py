#!/usr/bin/env python3
"""Measures `korva scan` against the floor and against a plain Python peer.

    bench_scan.py --korva PATH --floor PATH --header-db PATH --work DIR
                  [--count 10000] [--runs 5] [--cold-runs 3] [--memory-count 50000]

It generates the ROM directories (gen_roms.py) unless they are there from the
same generator, then:
- warm: after one warm-up run of each job (the files are in the page cache
  from then on), `runs` rounds, each running every job once in turn: the scan
  as it runs by default, the scan on one thread (`--threads 1`), the floor on
  one and on two threads, the floor on two threads with buffers 16 bytes off
  a 64-byte boundary (what alignment is worth), and the Python peer;
- cold: `cold-runs` rounds of the scan, the two-thread floor and the peer,
  each run after `sync` and dropping the page cache (root only; skipped
  otherwise);
- memory: one scan of `memory-count` files, its peak resident set.
Every run is printed as it ends, with its CPU time (user and system) and the
1-minute load average (as `uptime` gives it) at its start, then a table of
medians and ratios. On a busy machine the CPU times say more than the wall
times: other work takes the second core from the two-thread jobs.
"""
import argparse
import hashlib
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
GENERATOR = os.path.join(HERE, "gen_roms.py")


def load():
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


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
    # seconds, MiB, CPU seconds, page faults (minor and major)
    return elapsed, usage.ru_maxrss / 1024.0, usage.ru_utime + usage.ru_stime, usage.ru_minflt + usage.ru_majflt


def drop_caches():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def rom_directory(work, count, header_db):
    """The generated directory of `count` files, made again when the generator changed."""
    with open(GENERATOR, "rb") as f:
        stamp = hashlib.sha1(f.read()).hexdigest()
    romdir = os.path.join(work, "roms-%d" % count)
    stamp_file = romdir + ".stamp"
    current = open(stamp_file).read() if os.path.exists(stamp_file) else ""
    if current != stamp or not os.path.isdir(romdir) or len(os.listdir(romdir)) != count:
        if os.path.exists(stamp_file):
            os.remove(stamp_file)
        subprocess.run(["rm", "-rf", romdir], check=True)
        subprocess.run([sys.executable, GENERATOR, romdir, str(count), "--header-db", header_db], check=True)
        with open(stamp_file, "w") as f:
            f.write(stamp)
    return romdir


def rounds(jobs, runs, cold, times, memory, cpu, faults):
    for r in range(runs):
        for name, cmd in jobs.items():
            if cold:
                drop_caches()
            avg = load()
            t, m, c, f = run(cmd)
            times.setdefault(name, []).append(t)
            memory.setdefault(name, []).append(m)
            cpu.setdefault(name, []).append(c)
            faults.setdefault(name, []).append(f)
            print("%s round %d %-18s %7.3f s  cpu %7.3f s  peak %6.1f MiB  faults %6d  load %.2f" % (
                "cold" if cold else "warm", r + 1, name, t, c, m, f, avg), flush=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--korva", required=True)
    ap.add_argument("--floor", required=True)
    ap.add_argument("--header-db", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--count", type=int, default=10000)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--cold-runs", type=int, default=3)
    ap.add_argument("--memory-count", type=int, default=50000, help="0: no memory run")
    args = ap.parse_args()

    romdir = rom_directory(args.work, args.count, args.header_db)
    db = os.path.join(args.work, "korva_db.xml")
    peer = [sys.executable, os.path.join(HERE, "scan_baseline.py"), romdir, args.header_db,
            os.path.join(args.work, "peer.xml")]
    floor = [args.floor, romdir]
    # The runs take turns at one database of 10,000 and 50,000 files: a scan
    # that keeps fewer than half its ROMs replaces it only when forced.
    force = ["--force"]
    warm = {
        "scan": [args.korva, "scan", romdir, "--db", db] + force,
        "scan 1 thread": [args.korva, "scan", romdir, "--db", db, "--threads", "1"] + force,
        "floor 1 thread": floor,
        "floor 2 threads": floor + ["--threads", "2"],
        "floor 2, offset 16": floor + ["--threads", "2", "--offset", "16"],
        "python peer": peer,
    }
    cold = {k: warm[k] for k in ("scan", "floor 2 threads", "python peer")}

    print("uptime: " + subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip(), flush=True)
    subprocess.run([args.floor, romdir, "--inflate-only"], check=True)
    for cmd in warm.values():  # warm-up
        run(cmd)
    wt, wm, wc, wf = {}, {}, {}, {}
    rounds(warm, args.runs, False, wt, wm, wc, wf)
    ct, cm, cc, cf = {}, {}, {}, {}
    if args.cold_runs > 0 and os.geteuid() == 0:
        rounds(cold, args.cold_runs, True, ct, cm, cc, cf)
    elif args.cold_runs > 0:
        print("cold runs skipped: dropping the page cache needs root", flush=True)
    peak = None
    if args.memory_count > 0:
        big = rom_directory(args.work, args.memory_count, args.header_db)
        run([args.korva, "scan", big, "--db", db] + force)  # warm-up
        t, peak, _, _ = run([args.korva, "scan", big, "--db", db] + force)
        print("memory: scan of %d files %.3f s, peak %.1f MiB, load %.2f" % (args.memory_count, t, peak, load()))

    def med(times, k):
        return statistics.median(times[k])

    print()
    print("%d files, median of %d interleaved warm runs%s; load %.2f at the end" % (
        args.count, args.runs, " and %d cold runs" % args.cold_runs if ct else "", load()))
    print()
    print("| job | warm (s) | warm CPU (s) | page faults | cold (s) |")
    print("|---|---:|---:|---:|---:|")
    for k in warm:
        print("| %s | %.3f | %.3f | %d | %s |" % (k, med(wt, k), med(wc, k), med(wf, k),
                                               "%.3f" % med(ct, k) if k in ct else "-"))
    print()
    print("| ratio | warm | cold |")
    print("|---|---:|---:|")
    pairs = [("scan / floor 2 threads", "scan", "floor 2 threads"),
             ("scan 1 thread / floor 1 thread", "scan 1 thread", "floor 1 thread"),
             ("python peer / scan", "python peer", "scan"),
             ("floor 2, offset 16 / floor 2 threads", "floor 2, offset 16", "floor 2 threads")]
    for label, a, b in pairs:
        print("| %s | %.2f | %s |" % (label, med(wt, a) / med(wt, b),
                                       "%.2f" % (med(ct, a) / med(ct, b)) if a in ct and b in ct else "-"))
    print()
    print("CPU time: scan / floor 2 threads %.2f, scan 1 thread / floor 1 thread %.2f" % (
        med(wc, "scan") / med(wc, "floor 2 threads"), med(wc, "scan 1 thread") / med(wc, "floor 1 thread")))
    print("page faults: scan / floor 2 threads %.2f" % (med(wf, "scan") / med(wf, "floor 2 threads")))
    print()
    print("scan peak memory: %.1f MiB at %d files%s" % (
        max(wm["scan"]), args.count, ", %.1f MiB at %d files" % (peak, args.memory_count) if peak else ""))


if __name__ == "__main__":
    main()
