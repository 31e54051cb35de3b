#!/usr/bin/env bash
# The house rules that keep the core free of Qt and every folder to itself:
# no Qt header under model/, image/, game/, render/, export/ or flatten/, and no CMakeLists.txt that
# builds a source file of another folder.
set -u
root=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
qt=$(grep -rnE '^\s*#\s*include\s*[<"](Q[A-Za-z]*|Qt[A-Za-z]*/)' "$root/model" "$root/image" "$root/game" "$root/render" "$root/export" "$root/flatten")
[ -z "$qt" ] || fail "Qt headers in the core: $qt"
while IFS= read -r list; do
    # Source files named with a folder part reach outside the list's own folder.
    outside=$(grep -vE '^\s*#' "$list" | grep -E '[A-Za-z0-9_${}./-]*/[A-Za-z0-9_]+\.(cpp|cc|c)\b')
    [ -z "$outside" ] || fail "${list#$root/} builds files of another folder: $outside"
done < <(find "$root" -name CMakeLists.txt -not -path '*/build*' -not -path '*/.git/*')
echo "$((failures == 0 ? 2 : 0)) passed, $failures failed"
[ "$failures" = 0 ]
