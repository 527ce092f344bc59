#!/usr/bin/env bash
# Every figure of the directory scan, the ZIP reading and the ROM database
# load in docs/performance.md, in one command: korva_bench's ZIP, file read
# and ROM database load benchmarks, then `korva scan` against the floor (read,
# inflate with libdeflate and CRC every file, on one and two threads) and
# against a plain Python peer, warm and cold (cold needs root), interleaved,
# medians, the load with every run, and the peak memory at 50,000 files.
# Release build; results on stdout. About five minutes on two idle cores once
# the ROM directories exist (making them takes two more the first time).
#   scripts/bench-scan.sh
#   RUNS=7 COLD_RUNS=3 COUNT=10000 MEMORY_COUNT=50000 scripts/bench-scan.sh
set -euo pipefail
cd "$(dirname "$0")/.."
WORK="${WORK:-$PWD/build-bench/scan}"
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVA_BUILD_GUI=OFF -DKORVA_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target korva korva_scan_floor korva_bench >/dev/null
echo "== ZIP reading and the ROM database load (korva_bench)"
build-bench/bench/korva_bench --benchmark_filter='Zip|File|RomDatabase|Scan' --benchmark_min_time=0.3
echo "== Directory scan"
mkdir -p "$WORK"
python3 tools/scanbench/bench_scan.py --korva build-bench/src/korva \
  --floor build-bench/tools/scanbench/korva_scan_floor --header-db assets/header/nes20db.txt --work "$WORK" \
  --count "${COUNT:-10000}" --runs "${RUNS:-5}" --cold-runs "${COLD_RUNS:-3}" --memory-count "${MEMORY_COUNT:-50000}"
