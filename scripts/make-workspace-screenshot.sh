#!/usr/bin/env bash
# The README's picture of the workspace, made by the program itself under
# Xvfb with Mesa's software OpenGL: a real player model from ../shared/game,
# its three parts joined, wearing their textures.
#   scripts/make-workspace-screenshot.sh [build/bin/gridwright]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
gridwright=${1:-$here/build/bin/gridwright}
model=$here/../shared/game/models/players/human_base/upper.md3
[ -f "$model" ] || { echo "no $model: the shared game folder is needed"; exit 1; }
out=$here/docs/screenshots
work=$(mktemp -d)
app="" xvfb=""
trap 'kill $app $xvfb 2> /dev/null; wait 2> /dev/null; rm -rf "$work"' EXIT
Xvfb -displayfd 5 -screen 0 1280x800x24 +extension GLX -nolisten tcp 5> "$work/display" \
    2> /dev/null &
xvfb=$!
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n 1 "$work/display") HOME=$work XDG_RUNTIME_DIR=$work LIBGL_ALWAYS_SOFTWARE=1
mkdir -p "$work/.config/Gridwright"
cat > "$work/.config/Gridwright/Gridwright.ini" <<'INI'
[template]
antialias=true
lineWidth=1.5
line=#ffd040ff
seams=#00e000ff
outline=islands
[workspace]
joinPlayer=true
INI
"$gridwright" --lang en --workspace "$model" > "$work/app.log" 2>&1 &
app=$!
for _ in $(seq 200); do xdotool search --onlyvisible --name '^Workspace' > /dev/null && break; sleep 0.05; done
win=$(xdotool search --onlyvisible --name '^Workspace' | head -n 1)
xdotool windowmove "$win" 0 0 windowsize "$win" 1280 720
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$win")"
sleep 1
import -window root -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$out/workspace.png"
echo "screenshot in $out/workspace.png"
