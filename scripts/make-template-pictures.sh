#!/usr/bin/env bash
# Draws the README's template pictures from the bundled sample with the
# command-line tool, one per main option:
#   scripts/make-template-pictures.sh [build/bin/gridwright-flatten]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
flatten=${1:-$here/build/bin/gridwright-flatten}
sample=$here/res/samples/gridbot.md3
out=$here/docs/templates
mkdir -p "$out"
draw() { # name, options...
    local name=$1; shift
    "$flatten" "$sample" --size 256x256 -o "$out/$name.png" "$@" > /dev/null
}
draw plain --surface u_torso
draw wrapped --surface s_shoulders
draw clip --surface s_shoulders --wrap clip
draw styled --surface u_torso --line-colour '#1b4f9c' --line-width 2 --antialias
draw filled --surface u_torso --fill '#ffb34780' --line-colour '#7a3b00' --antialias
draw transparent --surface u_torso --background none --line-colour '#00000080' --antialias
draw texture --texture models/players/gridbot/torso --antialias
draw overlaps --texture models/players/gridbot/torso --overlaps --antialias
draw several --all --colour-by-surface --antialias --line-width 1.5
draw paint-ready --texture models/players/gridbot/torso --seams --flipped --outline islands --line-width 2
draw islands --all --islands --outline islands
echo "pictures in $out"
