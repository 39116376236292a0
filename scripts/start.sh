#!/usr/bin/env bash
# Installs what is missing, builds the editor with its help page and starts it.
# The build folder is its own (build-editor/), so that it never changes what
# the test command builds and runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-editor -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF >/dev/null
cmake --build build-editor -j"$(nproc)" --target velmora velmora_help
exec ./build-editor/bin/velmora "$@"
