#!/usr/bin/env bash
# Kills a program 35 s after the last of a series of changes to a 6000 x 4000
# image (one a second), then compares the recovery copy it left with the image
# it had: the copy must hold every change. The program is the test program's
# recovery child (tests/app/RecoveryKillTest.cpp), run with the real 30 s interval.
# Usage: bash bench/recovery-kill.sh [BUILD_DIR] [CHANGES]
set -euo pipefail
build="${1:-build}"
changes="${2:-40}"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
VELMORA_RECOVERY_FOLDER="$dir/recuperation" VELMORA_RECOVERY_WIDTH=6000 VELMORA_RECOVERY_HEIGHT=4000 \
VELMORA_RECOVERY_CHANGES="$changes" VELMORA_RECOVERY_INTERVAL=30000 QT_QPA_PLATFORM=offscreen \
  "$build/bin/test_app" --gtest_filter='RecoveryChild.*' --gtest_also_run_disabled_tests >"$dir/sortie" 2>&1 &
pid=$!
until grep -q fini "$dir/sortie"; do
  kill -0 "$pid" 2>/dev/null || { echo "le programme s'est arrêté avant la fin :"; cat "$dir/sortie"; exit 1; }
  sleep 0.2
done
sleep 35
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
copies=("$dir"/recuperation/*/image-*.bmp)
echo "copies laissées : ${#copies[@]}"
if cmp -s "${copies[0]}" "$dir/attendu.bmp"; then
  echo "copie identique à l'image tuée ($changes changements, tuée 35 s après le dernier)"
else
  echo "copie DIFFÉRENTE de l'image tuée"
  exit 1
fi
