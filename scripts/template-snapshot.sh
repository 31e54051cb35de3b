#!/usr/bin/env bash
# Writes every output of gridwright-flatten for the bundled sample and the real
# models into one folder, so that two builds can be compared with `diff -r`:
#   scripts/template-snapshot.sh OLD/gridwright-flatten old/
#   scripts/template-snapshot.sh build/bin/gridwright-flatten new/
#   diff -r old new && echo identical
# The EPS creation date is left out (it is the time of writing); PNG files are
# kept as their pixels, so a change of compression alone is no difference.
# Extra arguments (style options) are passed to every flatten.
set -euo pipefail
flatten=$(realpath "$1") out=$2
shift 2
here=$(cd "$(dirname "$0")/.." && pwd)
corpus=${GW_MD3_CORPUS:-$here/../shared/md3}
mkdir -p "$out"
models=("$here/res/samples/gridbot.md3")
if [ -d "$corpus" ]; then
    while IFS= read -r m; do models+=("$m"); done < <(find "$corpus" -name '*.md3' | sort)
fi
for model in "${models[@]}"; do
    key=$(basename "$(dirname "$model")")_$(basename "$model" .md3)
    "$flatten" --list "$model" > "$out/$key.list"
    "$flatten" --dump "$model" > "$out/$key.json"
    count=$(wc -l < "$out/$key.list")
    for ((s = 0; s < count; s++)); do
        for size in 256x256 100x37; do
            base=$out/$key.$s.$size
            "$flatten" "$model" --surface "$s" --size "$size" -o "$base.eps" "$@" > /dev/null
            grep -av '^%%CreationDate' "$base.eps" > "$base.eps.text"
            rm "$base.eps"
            "$flatten" "$model" --surface "$s" --size "$size" -o "$base.bmp" "$@" > /dev/null
            "$flatten" "$model" --surface "$s" --size "$size" -o "$base.svg" "$@" > /dev/null
            "$flatten" "$model" --surface "$s" --size "$size" -o "$base.png" "$@" > /dev/null
            convert "$base.png" -depth 8 rgba:"$base.png.rgba"
            rm "$base.png"
        done
    done
done
echo "$(ls "$out" | wc -l) files in $out"
