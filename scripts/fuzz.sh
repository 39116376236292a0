#!/usr/bin/env bash
# Builds the BMP loader's fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs it for SECONDS seconds
# (default 120) on the seed corpus that the project's generator writes.
# Usage: bash scripts/fuzz.sh [SECONDS] [extra libFuzzer options...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-120}"
shift || true

if ! command -v clang++ >/dev/null; then
  echo "clang++ est absent : pas de fuzzing (bash scripts/setup.sh fuzz l'installe)." >&2
  exit 1
fi

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DVELMORA_FUZZ=ON -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF >/dev/null
cmake --build build-fuzz --target velmora_fuzz_bmp velmora_bmp_seeds -j"$(nproc)"

rm -rf build-fuzz/seeds
build-fuzz/bin/velmora_bmp_seeds build-fuzz/seeds
mkdir -p build-fuzz/corpus build-fuzz/crashes

# New inputs go to corpus/ (kept between runs); the seeds are read only.
# Limits: inputs up to 64 KiB, 10 s per input, 2 GiB of memory.
ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  build-fuzz/bin/velmora_fuzz_bmp build-fuzz/corpus build-fuzz/seeds \
    -dict=fuzz/bmp.dict -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=build-fuzz/crashes/ "$@"
