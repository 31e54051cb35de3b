#!/usr/bin/env bash
# Every text the window marks for translation has its French: lupdate reads
# the sources into a copy of the French translation, and lrelease must find
# nothing unfinished in it. A new tr() text without its French fails here.
set -u
lupdate=$1 lrelease=$2 root=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/app/translations/gridwright_fr.ts" "$work/fr.ts"
"$lupdate" "$root/app" "$root/res" -ts "$work/fr.ts" -locations none -no-obsolete > "$work/lupdate.log" 2>&1 ||
    { echo "FAIL: lupdate: $(cat "$work/lupdate.log")"; echo "0 passed, 1 failed"; exit 1; }
"$lrelease" "$work/fr.ts" -qm "$work/fr.qm" > "$work/lrelease.log" 2>&1
summary=$(grep -o "Generated [0-9]* translation(s) ([0-9]* finished and [0-9]* unfinished)" "$work/lrelease.log")
unfinished=$(grep -c 'type="unfinished"' "$work/fr.ts")
if [ -n "$summary" ] && [ "$unfinished" = 0 ] && ! grep -q "untranslated" "$work/lrelease.log"; then
    echo "$summary"
    echo "1 passed, 0 failed"
else
    echo "FAIL: French translations missing: $summary, $unfinished unfinished"
    grep -B2 'type="unfinished"' "$work/fr.ts" | grep "<source>"
    echo "0 passed, 1 failed"
    exit 1
fi
