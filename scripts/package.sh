#!/usr/bin/env bash
# Builds the Debian package and checks it: its file list, owners and modes,
# lintian (any error fails; warnings are shown), the manual pages, the
# AppStream data, and the programs as unpacked from it.
# Usage: bash scripts/package.sh [BUILD_DIR]. By default the programs are built
# without tests nor benchmarks in build-deb/; CI passes build/, which the test
# run has just built, and only the programs are brought up to date there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh package
jobs="$(nproc)"
builddir="${1:-build-deb}"
version="$(sed -n 's/^project(Velmora VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)"
deb="$builddir/velmora_${version}_amd64.deb"
status=0
fail() {
  echo "ÉCHEC : $*" >&2
  status=1
}

echo "== Paquet Debian velmora ${version}"
if [ ! -f "$builddir/CMakeCache.txt" ]; then
  cmake -S . -B "$builddir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF \
    -DVELMORA_SANITIZE=OFF -DVELMORA_FUZZ=OFF >/dev/null
fi
# cpack installs what is built without building the whole folder first (the
# test programs of build/, say): the package's own targets are built here.
cmake -S . -B "$builddir" -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$builddir" -j"$jobs" --target velmora velmora-cli velmora_help velmora_packaging_files
rm -f "$builddir"/velmora_*.deb
(cd "$builddir" && cpack -G DEB)
[ -f "$deb" ] || { echo "ÉCHEC : $deb n'a pas été construit" >&2; exit 1; }
dpkg-deb --field "$deb"

echo "== Contenu du paquet"
contents="$(dpkg-deb -c "$deb")"
for path in usr/bin/velmora usr/bin/velmora-cli \
  usr/share/applications/velmora.desktop \
  usr/share/icons/hicolor/scalable/apps/velmora.svg \
  usr/share/metainfo/io.github.velmora.velmora.metainfo.xml \
  usr/share/man/man1/velmora.1.gz usr/share/man/man1/velmora-cli.1.gz \
  usr/share/velmora/html/index.html \
  usr/share/doc/velmora/copyright usr/share/doc/velmora/changelog.gz; do
  grep -q " \./$path\$" <<<"$contents" || fail "$path manque dans le paquet"
done
# Everything belongs to root; directories and programs are 0755, the rest 0644.
while read -r mode owner _ _ _ path; do
  [ "$owner" = root/root ] || fail "$path appartient à $owner"
  case "$mode:$path" in
    d*) expected=drwxr-xr-x ;;
    *:./usr/bin/*) expected=-rwxr-xr-x ;;
    *) expected=-rw-r--r-- ;;
  esac
  [ "$mode" = "$expected" ] || fail "$path a les droits $mode au lieu de $expected"
done <<<"$contents"

echo "== lintian"
lintian_output="$(lintian --tag-display-limit 0 "$deb" 2>&1)" || true
[ -z "$lintian_output" ] || echo "$lintian_output"
if grep -q '^E:' <<<"$lintian_output"; then
  fail "lintian signale des erreurs"
fi

unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg -x "$deb" "$unpacked"

echo "== Pages de manuel"
for page in velmora velmora-cli; do
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$unpacked/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)" ||
    fail "man ne lit pas $page(1)"
  [ -z "$warnings" ] || fail "avertissements de groff pour $page(1) : $warnings"
  lexgrog "$unpacked/usr/share/man/man1/$page.1.gz" >/dev/null || fail "$page(1) n'a pas de section NOM lisible"
done

# velmora-cli(1) names every operation of the command table and every option
# that velmora-cli --aide shows.
cli_page="$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$unpacked/usr/share/man/man1/velmora-cli.1.gz" 2>/dev/null)"
mapfile -t operations < <(sed -n 's/.*\.cliName = "\([a-z]*\)".*/\1/p' commands/CommandTable.cpp)
mapfile -t options < <("$unpacked/usr/bin/velmora-cli" --aide | grep -oE -- '--[a-z]+' | sort -u)
[ "${#operations[@]}" -gt 10 ] || fail "la table des commandes n'a pas été lue"
for operation in "${operations[@]}"; do
  grep -qE "^ +$operation( |\$)" <<<"$cli_page" || fail "velmora-cli(1) ne décrit pas l'opération $operation"
done
for option in "${options[@]}"; do
  grep -qE -- "(^| )$option( |,|\$)" <<<"$cli_page" || fail "velmora-cli(1) ne décrit pas l'option $option"
done

echo "== AppStream et entrée de bureau"
# The metainfo file with the desktop entry and the icon it names; any warning fails.
appstreamcli validate-tree --no-net --pedantic --strict "$unpacked" || fail "les données AppStream ne sont pas valides"
desktop-file-validate "$unpacked/usr/share/applications/velmora.desktop" || fail "l'entrée de bureau n'est pas valide"

echo "== Programmes installés par le paquet"
cli="$unpacked/usr/bin/velmora-cli"
if ! shown="$("$cli" --version 2>&1)"; then
  fail "velmora-cli --version échoue : $shown"
elif ! grep -qF "$version" <<<"$shown"; then
  fail "velmora-cli --version n'affiche pas $version : $shown"
fi
# A 1 x 1 red BMP, written as WebP through Qt's image plugins.
printf 'BM\x3a\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0\0\0\0\0\x04\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0\0\0\xff\0' \
  >"$unpacked/rouge.bmp"
"$cli" "$unpacked/rouge.bmp" "$unpacked/rouge.webp" negatif || fail "velmora-cli n'écrit pas de WebP"
[ "$(head -c 4 "$unpacked/rouge.webp" 2>/dev/null)" = RIFF ] || fail "rouge.webp n'est pas un fichier WebP"
# The editor starts, finds its libraries and plugins, and runs until stopped.
started=0
QT_QPA_PLATFORM=offscreen timeout 3 "$unpacked/usr/bin/velmora" >/dev/null 2>&1 || started=$?
[ "$started" = 124 ] || fail "velmora s'arrête au démarrage (code $started)"

[ "$status" = 0 ] && echo "Paquet vérifié : $deb"
exit "$status"
