#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite twice:
# the normal build, then the AddressSanitizer + UndefinedBehaviorSanitizer build.
# Needs no display: widget tests use Qt's offscreen platform, and the one test
# that starts the real editor runs it under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"

echo "== Construction normale"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"

echo "== Construction avec AddressSanitizer et UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_SANITIZE=ON -DVELMORA_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"

status=0
echo "== Tests, construction avec sanitizers"
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir build-asan -j"$jobs" --output-on-failure || status=1

echo "== Tests, construction normale"
ctest --test-dir build -j"$jobs" --output-on-failure || status=1
exit "$status"
