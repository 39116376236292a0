#!/usr/bin/env bash
# Times velmora-cli's batch form against its peers on 24 photos of 3000 x 2000
# pixels (24-bit BMP, 18 MB each, noise), inputs and outputs on a tmpfs, the
# inputs in the page cache: the batch on every core, on 1 and 2 jobs, a shell
# loop of the single-file form, GNU parallel -j2 of it, ImageMagick's mogrify
# and, when installed, vips through GNU parallel. Each figure is the median of
# RUNS runs (5 by default), in seconds; then the batch's peak memory.
#
#   bash bench/batch.sh [path/to/velmora-cli]
set -euo pipefail
cli="$(realpath "${1:-build/bin/velmora-cli}")"
runs="${RUNS:-5}"
count=24
work="${WORK:-/dev/shm/velmora-batch-bench}"
in="$work/in"
out="$work/out"
trap 'rm -rf "$work"' EXIT
rm -rf "$work"
mkdir -p "$in" "$out"

# The inputs: a 54-byte header, then rows of random bytes (9000 bytes a row,
# already a multiple of 4).
python3 - "$in" "$count" <<'PY'
import os, struct, sys
folder, count = sys.argv[1], int(sys.argv[2])
w, h = 3000, 2000
size = w * 3 * h
header = b"BM" + struct.pack("<IHHI", 54 + size, 0, 0, 54) + struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, size, 2835, 2835, 0, 0)
for i in range(count):
    with open(f"{folder}/photo{i:02d}.bmp", "wb") as f:
        f.write(header + os.urandom(size))
PY
cat "$in"/*.bmp > /dev/null # into the page cache (already there on a tmpfs)

have() { command -v "$1" > /dev/null 2>&1; }

# median SECONDS of "$@" over $runs runs, the output folder emptied before each.
median() {
    local times=() start end
    for ((r = 0; r < runs; r++)); do
        rm -rf "$out" && mkdir -p "$out"
        start=$(date +%s.%N)
        "$@" > /dev/null 2>&1 || { echo "échec : $*" >&2; return 1; }
        end=$(date +%s.%N)
        times+=("$(echo "$end - $start" | bc)")
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { printf "%.2f", t[int((NR + 1) / 2)] }'
}

loop() {
    for f in "$in"/*.bmp; do "$cli" "$f" "$out/${f##*/}" "$@"; done
}

cores=$(nproc)
echo "velmora-cli : $cli ; $count images de 3000 x 2000 ; $cores cœurs ; médiane de $runs"
for operation in negatif flou; do
    case $operation in
    negatif) magick=(-negate) vips=(invert) ;;
    flou) magick=(-blur 0x1) vips=() ;;
    esac
    echo "== $operation"
    declare -A t=()
    t[batch]=$(median "$cli" --dossier "$out" "$in"/*.bmp -- "$operation")
    t[batch1]=$(median "$cli" --dossier "$out" --taches 1 "$in"/*.bmp -- "$operation")
    t[batch2]=$(median "$cli" --dossier "$out" --taches 2 "$in"/*.bmp -- "$operation")
    t[loop]=$(median loop "$operation")
    if have parallel; then
        t[parallel]=$(median parallel --will-cite -j2 "$cli" {} "$out/{/}" "$operation" ::: "$in"/*.bmp)
    fi
    if have mogrify; then
        t[mogrify]=$(median mogrify -path "$out" "${magick[@]}" "$in"/*.bmp)
    fi
    if have vips && have parallel && [ "${#vips[@]}" -gt 0 ]; then
        t[vips]=$(median parallel --will-cite -j2 vips "${vips[@]}" {} "$out/{/}" ::: "$in"/*.bmp)
    fi
    printf '  %-34s %6s s\n' "lot, $cores tâches" "${t[batch]}" "lot, --taches 1" "${t[batch1]}" \
        "lot, --taches 2" "${t[batch2]}" "boucle du shell (un fichier)" "${t[loop]}"
    [ -n "${t[parallel]:-}" ] && printf '  %-34s %6s s\n' "parallel -j2 (un fichier)" "${t[parallel]}"
    [ -n "${t[mogrify]:-}" ] && printf '  %-34s %6s s\n' "mogrify ${magick[*]}" "${t[mogrify]}"
    [ -n "${t[vips]:-}" ] && printf '  %-34s %6s s\n' "parallel -j2 vips ${vips[*]}" "${t[vips]}"
    ratio() { echo "scale=2; $1 / $2" | bc; }
    echo "  lot / boucle : $(ratio "${t[batch]}" "${t[loop]}") ; de 1 à 2 tâches : x$(ratio "${t[batch1]}" "${t[batch2]}")"
    [ -n "${t[mogrify]:-}" ] && echo "  lot / mogrify : $(ratio "${t[batch]}" "${t[mogrify]}")"
    unset t
done

rm -rf "$out" && mkdir -p "$out"
peak=$(/usr/bin/time -v "$cli" --dossier "$out" --taches "$cores" "$in"/*.bmp -- flou 2>&1 >/dev/null |
    awk -F: '/Maximum resident set size/ { print $2 + 0 }')
echo "mémoire au plus, lot flou sur $cores tâches : $((peak / 1024)) Mio ($peak Kio)"
