#!/usr/bin/env bash
# Installs Kelvane twice, by the README's recipe (its cmake lines as written, from a fresh build
# folder, into a new folder through DESTDIR instead of sudo) and as the .deb built from the
# configured build folder, and checks what a desktop expects of each: the program, its entry,
# icon, metainfo and manual, all valid; it finds its libraries and starts.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

recipe=$(sed -n '/^From source/,/^```$/p' "$source/README.md" | grep -E '^(sudo )?cmake ' |
    sed -E "s#^sudo ##; s#(^| )build( |\$)#\1$scratch/recipe\2#g")
[ "$(wc -l <<<"$recipe")" -eq 3 ] || { echo "the README's recipe is not three cmake lines"; exit 1; }
(cd "$source" && DESTDIR=$scratch/installed CMAKE_BUILD_PARALLEL_LEVEL=$(nproc) \
    bash -euo pipefail -c "$recipe") >"$scratch/recipe.log" 2>&1 ||
    { cat "$scratch/recipe.log"; echo "the README's recipe fails"; exit 1; }
installed=$(find "$scratch/installed" -path '*/bin/kelvane')
[ -n "$installed" ] || { echo "the README's recipe installs no bin/kelvane"; exit 1; }

cmake --build "$build" --target kelvane >/dev/null
(cd "$build" && cpack -G DEB -B "$scratch/out" >/dev/null)
deb=$(ls "$scratch"/out/kelvane_*.deb)
dpkg-deb -x "$deb" "$scratch/root"

depends=$(dpkg-deb -f "$deb" Depends)
for package in libportmidi0 libasound2 libqt6widgets6 qt6-qpa-plugins; do
    grep -q "$package" <<<"$depends" || { echo "Depends lacks $package: $depends"; exit 1; }
done
! grep -q -- '-dev' <<<"$depends" || { echo "Depends names a -dev package: $depends"; exit 1; }

options() { grep -o -- '--[a-z-]*[a-z]' | sort -u; }

for root in "$(dirname "$(dirname "$installed")")" "$scratch/root/usr"; do
    # ls names what is missing, and fails.
    (cd "$root" && ls bin/kelvane libexec/kelvane/kelvane-window share/man/man1/kelvane.1.gz \
        share/applications/org.kelvane.Kelvane.desktop \
        share/metainfo/org.kelvane.Kelvane.metainfo.xml \
        share/icons/hicolor/scalable/apps/org.kelvane.Kelvane.svg \
        share/icons/hicolor/256x256/apps/org.kelvane.Kelvane.png share/doc/kelvane/copyright \
        >/dev/null)

    ! ldd "$root/bin/kelvane" "$root/libexec/kelvane/kelvane-window" | grep 'not found' ||
        { echo "the installed program does not find its libraries"; exit 1; }

    desktop-file-validate "$root/share/applications/org.kelvane.Kelvane.desktop"
    appstreamcli validate --no-net "$root/share/metainfo/org.kelvane.Kelvane.metainfo.xml"

    # The manual renders, and its synopsis names every option --help names.
    manual=$(MANWIDTH=100 man -l "$root/share/man/man1/kelvane.1.gz" 2>&1)
    synopsis=$(sed -n '/^SYNOPSIS/,/^DESCRIPTION/p' <<<"$manual")
    lacking=$(comm -23 <("$root/bin/kelvane" --help | options) <(options <<<"$synopsis"))
    [ -z "$lacking" ] || { echo "the manual's synopsis lacks $lacking"; exit 1; }

    # Started from where it is installed, it must still be running after two seconds.
    QT_QPA_PLATFORM=offscreen timeout 2 "$root/bin/kelvane" >/dev/null 2>&1 && status=0 ||
        status=$?
    [ "$status" -eq 124 ] || { echo "the installed program exited with $status"; exit 1; }
done
