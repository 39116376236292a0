#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite twice:
# the normal build (build/), then the AddressSanitizer + UndefinedBehaviorSanitizer
# build (build-asan/). Both are configured with the tests on, whatever an
# earlier configuration said, and a run that finds no test fails.
# Needs no display: widget tests use Qt's offscreen platform, and the one test
# that starts the real editor runs it under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"

echo "== Construction normale"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=ON -DVELMORA_SANITIZE=OFF \
  -DVELMORA_BENCH=OFF >/dev/null
cmake --build build -j"$jobs"

echo "== Construction avec AddressSanitizer et UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=ON -DVELMORA_SANITIZE=ON \
  -DVELMORA_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"

status=0
echo "== Tests, construction avec sanitizers"
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir build-asan -j"$jobs" --output-on-failure --no-tests=error || status=1

echo "== Tests, construction normale"
ctest --test-dir build -j"$jobs" --output-on-failure --no-tests=error || status=1
exit "$status"
