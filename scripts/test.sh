#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite once, in
# the AddressSanitizer + UndefinedBehaviorSanitizer build (build-asan/), and
# builds the programs in the normal build (build/), which the static checks
# (scripts/lint.sh) and the Debian package (scripts/package.sh build) use.
# The normal build also runs the tests whose limits are tighter without the
# sanitizers (the time and memory that hostile BMP files may cost): see
# normal_tests below. Both builds are configured with the tests on, whatever an
# earlier configuration said, and a run that finds no test fails.
# Needs no display: widget tests use Qt's offscreen platform, and the one test
# that starts the real editor runs it under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"

# Configures a build folder with the tests on. A new folder is made for Ninja,
# which keeps both cores busy across the layers; a folder that already exists
# keeps the generator it was made with.
configure() {
  local dir="$1"
  shift
  local generator=()
  if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then
    generator=(-G Ninja)
  fi
  cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=ON \
    -DVELMORA_BENCH=OFF "$@" >/dev/null
}

# The tests that mean more without the sanitizers, run in the normal build too:
# their time and memory limits allow for the sanitizers' shadow memory. They
# are in test_platform.
normal_tests='^BmpDecoding\.(HostileFilesAreRefusedOrDecodedWithinTimeAndMemory|ALongRleStreamIsNotHeldInMemory)$'

echo "== Construction normale (programmes et tests sans sanitizers)"
# What the static checks and the package need, and the one test program.
configure build -DVELMORA_SANITIZE=OFF
cmake --build build -j"$jobs" --target velmora velmora-cli velmora_help velmora_packaging_files test_platform

echo "== Construction avec AddressSanitizer et UndefinedBehaviorSanitizer"
configure build-asan -DVELMORA_SANITIZE=ON
cmake --build build-asan -j"$jobs"

status=0
echo "== Tests, construction avec sanitizers"
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir build-asan -j"$jobs" --output-on-failure --no-tests=error || status=1

echo "== Tests sans sanitizers : limites de temps et de mémoire"
listed="$(ctest --test-dir build -N -R "$normal_tests" | sed -n 's/^Total Tests: //p')"
if [ "$listed" != 2 ]; then
  echo "ÉCHEC : $listed tests sans sanitizers au lieu de 2 (noms changés ?)" >&2
  status=1
fi
ctest --test-dir build -j"$jobs" -R "$normal_tests" --output-on-failure --no-tests=error || status=1
exit "$status"
