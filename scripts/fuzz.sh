#!/usr/bin/env bash
# Runs one libFuzzer target for a while, with its seeds and dictionary.
#   scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
# TARGET is the target's name with or without "fuzz_" (romdb, fuzz_romdb).
# Builds build-fuzz (clang, libFuzzer, AddressSanitizer, UBSan) when it is
# missing. The corpus grows in build-fuzz/corpus-NAME, starting from
# fuzz/seeds/NAME; fuzz/NAME.dict is the dictionary when there is one. An
# input that fails is saved in build-fuzz/crashes-NAME/ and the script fails.
# Long runs belong under `nice -n 19`.
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer options...]" >&2
  exit 2
fi
cd "$(dirname "$0")/.."
ROOT="$PWD"
name="${1#fuzz_}"
seconds="$2"
shift 2

if [ ! -f build-fuzz/build.ninja ]; then
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKORVA_FUZZ=ON -DKORVA_WERROR=ON \
    -DKORVA_BUILD_GUI=OFF -DKORVA_BUILD_TESTS=OFF -DKORVA_BUILD_BENCH=OFF >/dev/null
fi
cmake --build build-fuzz --target "fuzz_$name" >/dev/null

corpus="$ROOT/build-fuzz/corpus-$name"
crashes="$ROOT/build-fuzz/crashes-$name"
mkdir -p "$corpus" "$crashes"
args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
      -artifact_prefix="$crashes/")
[ -f "fuzz/$name.dict" ] && args+=(-dict="$ROOT/fuzz/$name.dict")
dirs=("$corpus")
[ -d "fuzz/seeds/$name" ] && dirs+=("$ROOT/fuzz/seeds/$name")
exec "build-fuzz/fuzz/fuzz_$name" "${args[@]}" "$@" "${dirs[@]}"
