#!/bin/bash
# The release archive of the Windows build:
#   scripts/package-windows.sh BUILD DEPS
# writes BUILD/gridwright-flatten-VERSION-windows-x86_64.zip holding, in one
# folder of that name, the .exe (stripped), a README with CR LF line ends,
# and the licences of everything linked in (Gridwright's own, and those
# scripts/build-windows-deps.sh gathered into DEPS/share/licenses).
# The archive's bytes depend only on its files: fixed times, sorted names.
# Then an installer of the same files, BUILD/NAME-setup.exe (NSIS).
set -euo pipefail
if [[ $# -ne 2 ]]; then
    echo "usage: $0 BUILD DEPS" >&2
    exit 2
fi
HERE=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "$1" && pwd) DEPS=$(cd "$2" && pwd)
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
[[ -n "$VERSION" ]] || { echo "package-windows: no project version in $BUILD/CMakeCache.txt" >&2; exit 1; }
EXE=$BUILD/bin/gridwright-flatten.exe
[[ -f "$EXE" ]] || { echo "package-windows: $EXE is not built" >&2; exit 1; }
ls "$DEPS"/share/licenses/*.txt >/dev/null 2>&1 ||
    { echo "package-windows: no licences in $DEPS/share/licenses (rebuild the libraries)" >&2; exit 1; }

NAME=gridwright-flatten-$VERSION-windows-x86_64
STAGE=$BUILD/package/$NAME
rm -rf "$BUILD/package"
mkdir -p "$STAGE/licenses"
x86_64-w64-mingw32-strip -o "$STAGE/gridwright-flatten.exe" "$EXE"
sed -e "s/@VERSION@/$VERSION/" -e 's/$/\r/' "$HERE/res/windows/README.txt" >"$STAGE/README.txt"
# Gridwright's licence is the one the Debian package states: its copyright
# line, then the licence's text.
{
    sed -n 's/^Copyright: /Copyright /p' "$HERE/res/desktop/copyright" | head -n 1
    echo
    sed -n '/^License: MIT$/,$p' "$HERE/res/desktop/copyright" | sed -e '1d' -e 's/^ //' -e 's/^\.$//'
} | sed -e 's/\r*$/\r/' >"$STAGE/licenses/Gridwright.txt"
for licence in "$DEPS"/share/licenses/*.txt; do
    sed -e 's/\r*$/\r/' "$licence" >"$STAGE/licenses/$(basename "$licence")"
done
python3 - "$BUILD/package" "$NAME" "$BUILD/$NAME.zip" <<'PY'
import os, sys, zipfile
root, name, out = sys.argv[1:]
paths = []
for folder, _, files in os.walk(os.path.join(root, name)):
    paths += [os.path.join(folder, f) for f in files]
with zipfile.ZipFile(out + ".part", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for path in sorted(paths):
        info = zipfile.ZipInfo(os.path.relpath(path, root).replace(os.sep, "/"), (2026, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        with open(path, "rb") as f:
            z.writestr(info, f.read())
os.replace(out + ".part", out)
PY
echo "package-windows: $BUILD/$NAME.zip"

# The installer, of the same files.
makensis -V2 -DVERSION="$VERSION" -DSTAGE="$STAGE" -DOUTFILE="$BUILD/$NAME-setup.exe" \
    "$HERE/res/windows/installer.nsi" >"$BUILD/package/makensis.log" 2>&1 ||
    { cat "$BUILD/package/makensis.log" >&2; exit 1; }
echo "package-windows: $BUILD/$NAME-setup.exe"
