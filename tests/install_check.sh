#!/usr/bin/env bash
# An installation into a temporary prefix, checked as a desktop would use it:
# the file list, the desktop entry and AppStream validators, both manual pages
# rendered without a groff warning, and the MD3 type recognised through the
# installed MIME database, with and without the .md3 extension.
# Usage: install_check.sh BUILD_DIR SAMPLE.md3
set -u
build=$1 sample=$2
for tool in desktop-file-validate appstreamcli update-mime-database gio man groff; do
    command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 checks=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { checks=$((checks + 1)); }
id=org.gridwright.Gridwright
prefix=$work/usr

check; cmake --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1 ||
    fail "cmake --install: $(cat "$work/install.log")"
expected="bin/gridwright
bin/gridwright-flatten
share/applications/$id.desktop
share/doc/gridwright/changelog.gz
share/doc/gridwright/copyright
share/icons/hicolor/128x128/apps/$id.png
share/icons/hicolor/16x16/apps/$id.png
share/icons/hicolor/256x256/apps/$id.png
share/icons/hicolor/32x32/apps/$id.png
share/icons/hicolor/48x48/apps/$id.png
share/icons/hicolor/64x64/apps/$id.png
share/icons/hicolor/scalable/apps/$id.svg
share/man/man1/gridwright-flatten.1.gz
share/man/man1/gridwright.1.gz
share/metainfo/$id.metainfo.xml
share/mime/packages/$id.xml"
check; [ "$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)" = "$expected" ] ||
    fail "installed files: $(cd "$prefix" && find . -type f | sort)"
for size in 16 32 48 64 128 256; do
    check; [ "$(identify -format '%wx%h' "$prefix/share/icons/hicolor/${size}x$size/apps/$id.png" 2>/dev/null)" = "${size}x$size" ] ||
        fail "the $size-pixel icon is not $size pixels"
done

check; desktop-file-validate "$prefix/share/applications/$id.desktop" > "$work/desktop.log" 2>&1 ||
    fail "desktop-file-validate: $(cat "$work/desktop.log")"
check; [ ! -s "$work/desktop.log" ] || fail "desktop-file-validate said: $(cat "$work/desktop.log")"
check; appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" > "$work/as.log" 2>&1 ||
    fail "appstreamcli: $(cat "$work/as.log")"

for page in gridwright gridwright-flatten; do
    file=$prefix/share/man/man1/$page.1.gz
    check; zcat "$file" | groff -ww -man -Tutf8 > "$work/$page.txt" 2> "$work/$page.err" ||
        fail "groff failed on $page.1"
    check; [ ! -s "$work/$page.err" ] || fail "groff warnings on $page.1: $(cat "$work/$page.err")"
    check; MANWIDTH=80 man -l "$file" > "$work/$page.man" 2>&1 || fail "man -l $page.1"
    check; grep -q -- "--help" "$work/$page.man" || fail "$page.1 lists no options"
done
for option in --surface --texture --all --size --wrap --line-colour --line-width --antialias \
    --background --fill --overlaps --overlap-colour --colour-by-surface --list --dump \
    --textures --skin --underlay --underlay-opacity --version; do
    check; grep -q -- "$option" "$work/gridwright-flatten.man" || fail "gridwright-flatten.1 lacks $option"
done
check; grep -qiE "exit +status" "$work/gridwright-flatten.man" || fail "gridwright-flatten.1 lacks exit codes"
check; grep -qi "examples" "$work/gridwright-flatten.man" || fail "gridwright-flatten.1 lacks examples"

# The file type, through the installed MIME database only.
check; update-mime-database "$prefix/share/mime" > "$work/mime.log" 2>&1 ||
    fail "update-mime-database: $(cat "$work/mime.log")"
cp "$sample" "$work/model.md3"
cp "$sample" "$work/no-extension"
for file in model.md3 no-extension; do
    type=$(XDG_DATA_DIRS=$prefix/share:/usr/share gio info -a standard::content-type "$work/$file" 2>&1 |
        sed -n 's/.*standard::content-type: //p')
    check; [ "$type" = model/x-quake3-md3 ] || fail "$file is of type '$type'"
done

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" = 0 ]
