#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the unit and window
# tests, the emulator proof, the writes under faults (a save killed up to 300
# times, failing writes, a full tmpfs when run as root), the Debian package
# made from the release build, installed, used and removed again, the same
# core tests under AddressSanitizer and UndefinedBehaviorSanitizer, the scan's
# tests under ThreadSanitizer, and a short smoke run of every fuzz target.
# Every build stage treats compiler warnings as errors (KORVA_WERROR).
#   scripts/test.sh            everything
#   SKIP_INSTALL=1 scripts/test.sh   without the package installation
#   SKIP_PACKAGE=1 scripts/test.sh   without the Debian package stage
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
JOBS="${JOBS:-$(nproc)}"
FUZZ_SECONDS="${FUZZ_SECONDS:-20}"  # per fuzz target; eight targets

if [ "${SKIP_INSTALL:-0}" != "1" ]; then
  scripts/install-deps.sh
fi

echo "== Release build and tests"
# CMake's default generator (Unix Makefiles on a fresh clone; a build
# directory keeps the generator it was made with), so that the build is
# proven with it; the other stages use Ninja.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVA_WERROR=ON
cmake --build build -j "$JOBS"
if [ -f tests/emulator/package.json ]; then
  (cd tests/emulator && npm ci --no-audit --no-fund)
fi
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$JOBS"

if [ "${SKIP_PACKAGE:-0}" != "1" ]; then
  echo "== Debian package from the release build: install, use, check, remove"
  scripts/check-package.sh build
fi

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVA_SANITIZE=ON -DKORVA_WERROR=ON \
  -DKORVA_BUILD_GUI=OFF -DKORVA_BUILD_BENCH=OFF
cmake --build build-asan -j "$JOBS" --target korva_tests korva
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$JOBS" -L unit

echo "== ThreadSanitizer build and the tests of the threaded scan"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVA_SANITIZE_THREAD=ON -DKORVA_WERROR=ON \
  -DKORVA_BUILD_GUI=OFF -DKORVA_BUILD_BENCH=OFF
cmake --build build-tsan -j "$JOBS" --target korva_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 build-tsan/tests/korva_tests --gtest_filter='Scan*:*Scan*'

echo "== Fuzz targets (libFuzzer, ${FUZZ_SECONDS}s each)"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKORVA_FUZZ=ON -DKORVA_WERROR=ON \
  -DKORVA_BUILD_GUI=OFF -DKORVA_BUILD_TESTS=OFF -DKORVA_BUILD_BENCH=OFF
cmake --build build-fuzz -j "$JOBS"
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  echo "-- $(basename "$target")"
  scripts/fuzz.sh "$(basename "$target")" "$FUZZ_SECONDS" 2>&1 | tail -n 12
done

echo "All test stages passed."
