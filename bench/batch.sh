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

loop() {
    for f in "$in"/*.bmp; do "$cli" "$f" "$out/${f##*/}" "$@"; done
}

# What the machine gives while the peers run: the same busy loop alone, then
# twice at once. 2.0 means two free cores; on a machine shared with others it
# is less, and no program can scale past it.
spin() { awk 'BEGIN { for (i = 0; i < 2e7; i++) x += i }'; }
spin2() { spin & spin & wait; }

# Runs every peer once per round, for $runs rounds, so that the load of the
# moment weighs on all of them alike; prints "name median" lines (seconds).
# Each peer is "name|command...", the output folder emptied before each run.
race() {
    local -A times=()
    local peer name start end
    for ((r = 0; r < runs; r++)); do
        for peer in "$@"; do
            name=${peer%%|*}
            rm -rf "$out" && mkdir -p "$out"
            start=$(date +%s.%N)
            eval "${peer#*|}" > /dev/null 2>&1 || { echo "échec : $peer" >&2; return 1; }
            end=$(date +%s.%N)
            times[$name]+="$(echo "$end - $start" | bc) "
        done
    done
    for peer in "$@"; do
        name=${peer%%|*}
        printf '%s %s\n' "$name" "$(printf '%s\n' ${times[$name]} | sort -n |
            awk '{ t[NR] = $1 } END { printf "%.2f", t[int((NR + 1) / 2)] }')"
    done
}

cores=$(nproc)
echo "velmora-cli : $cli ; $count images de 3000 x 2000 ; $cores cœurs ; médiane de $runs, les concurrents en alternance"
for operation in negatif flou; do
    case $operation in
    negatif) magick='-negate' vips='invert' ;;
    flou) magick='-blur 0x1' vips='' ;;
    esac
    peers=(
        "lot|\"\$cli\" --dossier \"\$out\" \"\$in\"/*.bmp -- $operation"
        "lot1|\"\$cli\" --dossier \"\$out\" --taches 1 \"\$in\"/*.bmp -- $operation"
        "lot2|\"\$cli\" --dossier \"\$out\" --taches 2 \"\$in\"/*.bmp -- $operation"
        "boucle|loop $operation"
        "spin|spin"
        "spin2|spin2"
    )
    have parallel && peers+=("parallel|parallel --will-cite -j2 \"\$cli\" {} \"\$out/{/}\" $operation ::: \"\$in\"/*.bmp")
    have mogrify && peers+=("mogrify|mogrify -path \"\$out\" $magick \"\$in\"/*.bmp")
    have vips && have parallel && [ -n "$vips" ] &&
        peers+=("vips|parallel --will-cite -j2 vips $vips {} \"\$out/{/}\" ::: \"\$in\"/*.bmp")
    declare -A t=()
    while read -r name seconds; do t[$name]=$seconds; done < <(race "${peers[@]}")

    echo "== $operation"
    line() { printf '  %6s s  %s\n' "$2" "$1"; }
    line "lot, $cores tâches (par défaut)" "${t[lot]}"
    line "lot, --taches 1" "${t[lot1]}"
    line "lot, --taches 2" "${t[lot2]}"
    line "boucle du shell, un fichier à la fois" "${t[boucle]}"
    [ -n "${t[parallel]:-}" ] && line "parallel -j2, un fichier par processus" "${t[parallel]}"
    [ -n "${t[mogrify]:-}" ] && line "mogrify $magick" "${t[mogrify]}"
    [ -n "${t[vips]:-}" ] && line "parallel -j2 vips $vips" "${t[vips]}"
    ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
    echo "  lot / boucle : $(ratio "${t[lot]}" "${t[boucle]}")"
    [ -n "${t[mogrify]:-}" ] && echo "  lot / mogrify : $(ratio "${t[lot]}" "${t[mogrify]}")"
    echo "  de 1 à 2 tâches : x$(ratio "${t[lot1]}" "${t[lot2]}") ; parallélisme offert par la machine" \
        "(boucle de calcul seule puis deux à la fois) : x$(ratio "$(echo "2 * ${t[spin]}" | bc)" "${t[spin2]}")"
    unset t
done

rm -rf "$out" && mkdir -p "$out"
peak=$(/usr/bin/time -v "$cli" --dossier "$out" --taches "$cores" "$in"/*.bmp -- flou 2>&1 >/dev/null |
    awk -F: '/Maximum resident set size/ { print $2 + 0 }')
echo "mémoire au plus, lot flou sur $cores tâches : $((peak / 1024)) Mio ($peak Kio)"
