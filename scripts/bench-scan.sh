#!/usr/bin/env bash
# Measures the directory scan: `korva scan` against the floor (read every file,
# inflate every archive entry) and against a plain Python baseline, on
# generated ROM directories. Release build; results on stdout.
#   scripts/bench-scan.sh                 10,000 files, 5 runs each
#   COUNTS=1000,10000,50000 RUNS=3 scripts/bench-scan.sh
set -euo pipefail
cd "$(dirname "$0")/.."
COUNTS="${COUNTS:-10000}"
RUNS="${RUNS:-5}"
WORK="${WORK:-$PWD/build-bench/scan}"
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVA_BUILD_GUI=OFF -DKORVA_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target korva korva_scan_floor korva_bench
mkdir -p "$WORK"
python3 tools/scanbench/bench_scan.py --korva build-bench/src/korva \
  --floor build-bench/tools/scanbench/korva_scan_floor \
  --header-db assets/header/nes20db.txt --work "$WORK" --counts "$COUNTS" --runs "$RUNS" ${BASELINE_OFF:+--no-baseline}
