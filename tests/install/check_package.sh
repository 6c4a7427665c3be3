#!/usr/bin/env bash
# Builds the .deb from a configured build folder, unpacks it and checks what a desktop expects: the
# program, its entry, icon, metainfo and manual, all valid; it finds its libraries and starts.
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --build "$build" --target kelvane kelvane_manual >/dev/null
(cd "$build" && cpack -G DEB -B "$scratch/out" >/dev/null)
deb=$(ls "$scratch"/out/kelvane_*.deb)
dpkg-deb -x "$deb" "$scratch/root"
root=$scratch/root/usr

# ls names what is missing, and fails.
(cd "$root" && ls bin/kelvane libexec/kelvane/kelvane-window share/man/man1/kelvane.1.gz \
    share/applications/org.kelvane.Kelvane.desktop share/metainfo/org.kelvane.Kelvane.metainfo.xml \
    share/icons/hicolor/scalable/apps/org.kelvane.Kelvane.svg \
    share/icons/hicolor/256x256/apps/org.kelvane.Kelvane.png share/doc/kelvane/copyright >/dev/null)

depends=$(dpkg-deb -f "$deb" Depends)
for package in libportmidi0 libasound2 libqt6widgets6 qt6-qpa-plugins; do
    grep -q "$package" <<<"$depends" || { echo "Depends lacks $package: $depends"; exit 1; }
done
! grep -q -- '-dev' <<<"$depends" || { echo "Depends names a -dev package: $depends"; exit 1; }

! ldd "$root/bin/kelvane" "$root/libexec/kelvane/kelvane-window" | grep 'not found' ||
    { echo "the installed program does not find its libraries"; exit 1; }

desktop-file-validate "$root/share/applications/org.kelvane.Kelvane.desktop"
appstreamcli validate --no-net "$root/share/metainfo/org.kelvane.Kelvane.metainfo.xml"

# The manual renders, and names every option --help names.
options() { grep -o -- '--[a-z-]*[a-z]' | sort -u; }
manual=$(MANWIDTH=100 man -l "$root/share/man/man1/kelvane.1.gz" 2>&1)
lacking=$(comm -23 <("$root/bin/kelvane" --help | options) <(options <<<"$manual"))
[ -z "$lacking" ] || { echo "the manual lacks $lacking"; exit 1; }

# Started from the unpacked root, it must still be running after two seconds.
QT_QPA_PLATFORM=offscreen timeout 2 "$root/bin/kelvane" >/dev/null 2>&1 && status=0 || status=$?
[ "$status" -eq 124 ] || { echo "the installed program exited with $status"; exit 1; }
