#!/usr/bin/env bash
# The Windows program under Wine and the Linux one write the same template
# bytes: EPS, PNG and PSD of the bundled sample and of three shared models
# (skipped, saying so, when /work/shared's models are absent), and names
# beyond ASCII given to the program as arguments.
#   tests/windows_same_bytes.sh LINUX_BIN EXE
# Exits non-zero on any difference. The EPS's %%CreationDate line holds the
# minute and second it was written and is left out of the comparison; every
# other byte, its CR LF line ends included, must match.
set -u
if [ $# -ne 2 ]; then
    echo "usage: $0 LINUX_BIN EXE" >&2
    exit 2
fi
abs() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
linux=$(abs "$1") exe=$(abs "$2")
here=$(cd "$(dirname "$0")/.." && pwd)
shared=${GW_SHARED_MD3:-$here/../shared/md3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The same file name from both: the EPS carries it in its %%Title.
mkdir "$work/linux" "$work/windows"
export WINEPREFIX=${WINEPREFIX:-$(dirname "$(dirname "$exe")")/wine} WINEDEBUG=-all DISPLAY=

models=("$here/res/samples/gridbot.md3")
if [ -d "$shared" ]; then
    while IFS= read -r m; do models+=("$m"); done < <(find "$shared" -name '*.md3' | LC_ALL=C sort | head -n 3)
else
    echo "SKIP: no shared models at $shared; the bundled sample only"
fi

passed=0 differ=0
for model in "${models[@]}"; do
    name=$(basename "$model" .md3)
    for ext in eps png psd; do
        a="$work/linux/$name.$ext" b="$work/windows/$name.$ext"
        "$linux" "$model" -o "$a" >/dev/null 2>"$work/err.linux" ||
            { echo "FAIL: Linux could not write $name.$ext: $(cat "$work/err.linux")"; differ=$((differ + 1)); continue; }
        wine "$exe" "$model" -o "$b" >/dev/null 2>"$work/err.windows" ||
            { echo "FAIL: Windows could not write $name.$ext: $(cat "$work/err.windows")"; differ=$((differ + 1)); continue; }
        if [ "$ext" = eps ]; then
            for f in "$a" "$b"; do
                grep -a -v '^%%CreationDate:' "$f" >"$f.cmp"
            done
            a=$a.cmp b=$b.cmp
            grep -q $'\r$' "$a" || { echo "FAIL: $name.eps has no CR LF line ends"; differ=$((differ + 1)); }
        fi
        if cmp -s "$a" "$b"; then
            echo "same: $model -> .$ext ($(wc -c <"$a") bytes)"
            passed=$((passed + 1))
        else
            echo "FAIL: $model -> .$ext differs: $(cmp "$a" "$b" 2>&1 | head -n 1)"
            differ=$((differ + 1))
        fi
    done
done
# Names beyond ASCII reach the program whole, through its UTF-16 arguments:
# the sample copied into a folder named in French, and its template written
# into a folder named with a symbol outside the BMP, given as a Windows path
# (drive letter and backslashes). It must be the Linux PNG of the sample
# written above.
uni="$work/modèle été" out_dir="$work/sortie 🎨"
mkdir -p "$uni" "$out_dir"
cp "$here/res/samples/gridbot.md3" "$uni/gabarit €.md3"
windows_out="Z:$(printf '%s' "$out_dir" | tr / '\\')\\peint été.png"
if wine "$exe" "$uni/gabarit €.md3" -o "$windows_out" >/dev/null 2>"$work/err.windows" &&
    cmp -s "$work/linux/gridbot.png" "$out_dir/peint été.png"; then
    echo "same: a model and an output named beyond ASCII, the output given as $windows_out"
    passed=$((passed + 1))
else
    echo "FAIL: names beyond ASCII: $(cat "$work/err.windows"); written: $(ls "$out_dir")"
    differ=$((differ + 1))
fi

echo "$passed passed, $differ failed"
[ "$differ" -eq 0 ]
