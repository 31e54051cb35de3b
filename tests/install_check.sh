#!/usr/bin/env bash
# An installation into a temporary prefix, checked as a desktop would use it:
# the file list, the desktop entry and AppStream validators, both manual pages
# rendered without a groff warning, and every model type recognised through
# the installed MIME database, with and without its extension.
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
# Every other format the window opens, by its name and by its first bytes
# alone: a file that starts as the format does, with and without extension.
mime=$prefix/share/mime/packages/$id.xml
for format in "mdl IDPO model/x-quake-mdl" "md2 IDP2 model/x-quake2-md2" "mdc IDPC model/x-wolf-mdc" \
    "md5mesh MD5Version model/x-doom3-md5mesh" "iqm INTERQUAKEMODEL model/x-iqm"; do
    set -- $format
    printf '%s 10\n\0\0\0\0' "$2" > "$work/model.$1"
    cp "$work/model.$1" "$work/bare-$1"
    check; grep -q "MimeType=.*$3;" "$prefix/share/applications/$id.desktop" ||
        fail "the desktop entry does not open $3"
    check; grep -q "<mediatype>$3</mediatype>" "$prefix/share/metainfo/$id.metainfo.xml" ||
        fail "the AppStream file does not name $3"
    for file in "model.$1" "bare-$1"; do
        type=$(XDG_DATA_DIRS=$prefix/share:/usr/share gio info -a standard::content-type "$work/$file" 2>&1 |
            sed -n 's/.*standard::content-type: //p')
        check; [ "$type" = "$3" ] || fail "$file is of type '$type', not $3"
    done
done
# Types the desktop has registered already (shared-mime-info's): opened by
# the entry and named by the AppStream file, never defined again by ours.
for type in model/obj model/gltf+json model/gltf-binary; do
    check; grep -q "MimeType=.*$type;" "$prefix/share/applications/$id.desktop" ||
        fail "the desktop entry does not open $type"
    check; grep -q "<mediatype>$type</mediatype>" "$prefix/share/metainfo/$id.metainfo.xml" ||
        fail "the AppStream file does not name $type"
    check; ! grep -q "type=\"$type\"" "$mime" || fail "our MIME file defines $type again"
done
if command -v xmllint > /dev/null; then
    check; xmllint --noout "$mime" > "$work/xmllint.log" 2>&1 || fail "xmllint: $(cat "$work/xmllint.log")"
fi

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" = 0 ]
