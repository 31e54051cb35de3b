#!/usr/bin/env bash
# The Debian package: built by CPack, checked by lintian (no errors), then
# installed with dpkg: both programs on the PATH answer --version, and
# removing the package takes away every file it installed.
# Needs root (dpkg -i); test.sh runs it when it is root.
# Usage: package_check.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
for tool in cpack lintian dpkg dpkg-shlibdeps; do
    command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ "$(id -u)" = 0 ] || { echo "skipped: installing a package needs root"; exit 77; }
failures=0 checks=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { checks=$((checks + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && rm -f gridwright_*.deb && cpack -G DEB > "$work/cpack.log" 2>&1)
deb=$(ls "$build"/gridwright_*.deb 2> /dev/null | head -n 1)
check; [ -n "$deb" ] || { fail "cpack made no package: $(cat "$work/cpack.log")"; echo "0 passed, 1 failed"; exit 1; }
check; dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "the run-time dependencies were not computed"
lintian "$deb" > "$work/lintian.log" 2>&1
check; ! grep -q '^E:' "$work/lintian.log" || fail "lintian errors: $(grep '^E:' "$work/lintian.log")"
grep -E '^(W|E):' "$work/lintian.log" || true

check; dpkg -i "$deb" > "$work/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$work/dpkg.log")"
installed=$(dpkg -L gridwright 2> /dev/null)
for program in gridwright gridwright-flatten; do
    check; [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not on the PATH"
    check; env -u DISPLAY -u WAYLAND_DISPLAY "$program" --version 2>&1 | grep -q "^$program 0\." ||
        fail "$program --version: $(env -u DISPLAY "$program" --version 2>&1)"
done
check; echo "$installed" | grep -q '^/usr/share/applications/org.gridwright.Gridwright.desktop$' ||
    fail "the package lacks the desktop entry"
check; echo "$installed" | grep -q '^/usr/share/mime/packages/org.gridwright.Gridwright.xml$' ||
    fail "the package lacks the model types"
check; man -w gridwright-flatten > /dev/null 2>&1 || fail "man gridwright-flatten finds no page"

check; dpkg -r gridwright > "$work/remove.log" 2>&1 || fail "dpkg -r: $(cat "$work/remove.log")"
left=""
while IFS= read -r path; do
    [ -f "$path" ] || [ -L "$path" ] && left="$left $path"
done <<< "$installed"
check; [ -z "$left" ] || fail "files left after dpkg -r:$left"
check; ! command -v gridwright-flatten > /dev/null || fail "gridwright-flatten still on the PATH"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" = 0 ]
