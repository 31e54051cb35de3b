#!/usr/bin/env bash
# The Windows release archive as a painter unpacks it:
#   tests/windows_package_check.sh ZIP EXE
# One folder named as the archive; the program, a README and the licence of
# everything linked in, text files with CR LF; the program imports only
# Windows' own DLLs, and, run from the unpacked folder under Wine, says its
# version and writes the same template as the build's EXE. Then the
# installer beside the archive (NAME-setup.exe), run silently under Wine:
# it installs those files, the program runs from there, and its uninstaller
# takes away what it put there and nothing else.
set -u
if [ $# -ne 2 ]; then
    echo "usage: $0 ZIP EXE" >&2
    exit 2
fi
abs() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
zip=$(abs "$1") exe=$(abs "$2")
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
name=$(basename "$zip" .zip)
version=${name#gridwright-flatten-}
version=${version%-windows-x86_64}

python3 - "$zip" "$work" <<'PY' || { echo "FAIL: the archive does not unpack"; exit 1; }
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    assert z.testzip() is None
    z.extractall(sys.argv[2])
PY
top=$(cd "$work" && ls)
[ "$top" = "$name" ] || fail "the archive's folder is '$top', not '$name'"
folder=$work/$name
for file in gridwright-flatten.exe README.txt licenses/Gridwright.txt; do
    [ -s "$folder/$file" ] || fail "$file is missing or empty"
done
# Every library linked in has its licence: those the build gathered, and Gridwright's own.
for licence in cairo pixman libpng1.6 libjpeg-turbo libzip libz-mingw-w64-dev mingw-w64-x86-64-dev \
    gcc-mingw-w64-x86-64-posix-runtime libcli11-dev nlohmann-json3-dev; do
    [ -s "$folder/licenses/$licence.txt" ] || fail "no licence for $licence"
done
grep -q "Permission is hereby granted" "$folder/licenses/Gridwright.txt" || fail "Gridwright.txt is not the MIT licence"
grep -q "^Copyright .*Gridwright authors" "$folder/licenses/Gridwright.txt" || fail "Gridwright.txt has no copyright line"
grep -q "Gridwright $version for Windows" "$folder/README.txt" || fail "the README does not name version $version"
for text in "$folder/README.txt" "$folder"/licenses/*.txt; do
    # Every line ends in CR LF: no line without its CR.
    if grep -q -v $'\r$' "$text"; then fail "$(basename "$text") has lines without CR LF"; fi
    if grep -q $'\r\r' "$text"; then fail "$(basename "$text") has a CR doubled"; fi
done
dlls=$(x86_64-w64-mingw32-objdump -p "$folder/gridwright-flatten.exe" | sed -n 's/^\s*DLL Name: //p' |
    tr 'A-Z' 'a-z' | grep -v -E '^(kernel32|msvcrt|user32|gdi32|advapi32|shell32|ole32|msimg32|ws2_32|bcrypt|api-ms-win-.*)\.dll$')
[ -z "$dlls" ] || fail "the program needs DLLs Windows does not have: $dlls"

export WINEPREFIX=${WINEPREFIX:-$(dirname "$(dirname "$exe")")/wine} WINEDEBUG=-all DISPLAY=
said=$(wine "$folder/gridwright-flatten.exe" --version 2>&1 | tr -d '\r')
[ "$said" = "gridwright-flatten $version" ] || fail "--version said '$said'"
sample=$here/res/samples/gridbot.md3
wine "$folder/gridwright-flatten.exe" "$sample" -o "$work/unpacked.png" >/dev/null 2>&1 || fail "the unpacked program wrote no template"
wine "$exe" "$sample" -o "$work/built.png" >/dev/null 2>&1 || fail "the built program wrote no template"
cmp -s "$work/unpacked.png" "$work/built.png" || fail "the unpacked program's template differs from the build's"

setup=${zip%.zip}-setup.exe
if [ -f "$setup" ]; then
    # A folder of the Wine prefix's own drive, fresh for each run.
    drive_c=$WINEPREFIX/drive_c
    target=$drive_c/gridwright-check
    rm -rf "$target"
    wine "$setup" /S '/D=C:\gridwright-check' >/dev/null 2>&1 || fail "the installer failed"
    for file in gridwright-flatten.exe README.txt uninstall.exe licenses/Gridwright.txt licenses/cairo.txt; do
        [ -s "$target/$file" ] || fail "the installer put no $file"
    done
    cmp -s "$target/gridwright-flatten.exe" "$folder/gridwright-flatten.exe" || fail "the installed program is not the archive's"
    said=$(wine 'C:\gridwright-check\gridwright-flatten.exe' --version 2>&1 | tr -d '\r')
    [ "$said" = "gridwright-flatten $version" ] || fail "the installed program said '$said'"
    wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Gridwright' /v DisplayVersion 2>/dev/null |
        grep -q "$version" || fail "no entry among the installed programs"
    echo kept >"$target/painter-notes.txt"
    # _?= runs the uninstaller in place and waits for it.
    wine "$target/uninstall.exe" /S '_?=C:\gridwright-check' >/dev/null 2>&1 || fail "the uninstaller failed"
    left=$(cd "$target" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
    # uninstall.exe stays when run in place with _?= (it cannot remove itself while running).
    [ "$left" = "./painter-notes.txt ./uninstall.exe " ] || fail "the uninstaller left or took: $left"
    wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Gridwright' >/dev/null 2>&1 &&
        fail "the entry among the installed programs stayed"
    rm -rf "$target"
else
    fail "no installer beside the archive ($setup)"
fi

[ "$failures" = 0 ] || exit 1
echo "the archive $(basename "$zip"): $(python3 -c 'import sys,zipfile; print(len(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip") files, $(wc -c <"$zip") bytes, and its installer $(wc -c <"$setup") bytes, checked"
