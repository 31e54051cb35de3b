#!/usr/bin/env bash
# The windows inside a small screen: the workspace, opened beside the main
# window, stays inside a 1280 x 800 screen, at scale 1 and at scale 2 (where
# the screen holds 640 x 400 of the window's pixels).
# Usage: screen_fit_under_xvfb.sh GRIDWRIGHT SAMPLE.md3 [SHOTS_FOLDER]   (runs its own Xvfb)
set -u
gridwright=$1 sample=$2 shots=${3:-}
for tool in Xvfb xdotool xwininfo import; do
    command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
failures=0 checks=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { checks=$((checks + 1)); }
wait_until() {
    local deadline=$((SECONDS + $1)); shift
    until "$@" > /dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}
app="" xvfb=""
cleanup() { kill $app $xvfb 2> /dev/null; wait 2> /dev/null; rm -rf "$work"; }
trap cleanup EXIT
Xvfb -displayfd 5 -screen 0 1280x800x24 +extension GLX -nolisten tcp 5> "$work/display" \
    > "$work/xvfb.log" 2>&1 &
xvfb=$!
wait_until 15 test -s "$work/display" || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n 1 "$work/display") XDG_RUNTIME_DIR=$work HOME=$work LIBGL_ALWAYS_SOFTWARE=1
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
wait_until 15 xwininfo -root || { echo "FAIL: no X display"; exit 1; }

place() { # window id -> "x y w h"
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
        /Width/{w=$NF} /Height/{h=$NF} END{print x, y, w, h}'
}
for scale in 1 2; do
    rm -rf "$work/.config"
    if [ -n "${GW_SCREEN_JOINED:-}" ]; then # the player joined: two lists, two sliders
      mkdir -p "$work/.config/Gridwright"
      printf "[workspace]\njoinPlayer=true\n" > "$work/.config/Gridwright/Gridwright.ini"
    fi
    QT_SCALE_FACTOR=$scale "$gridwright" --lang "${GW_SCREEN_LANG:-en}" --workspace "$sample" > "$work/app.log" 2>&1 &
    app=$!
    workspace=$(timeout 20 xdotool search --sync --onlyvisible --name "^${GW_SCREEN_TITLE:-Workspace} — Gridwright$" | head -n 1)
    check; if [ -z "$workspace" ]; then
        fail "scale $scale: no workspace window ($(cat "$work/app.log"))"
    else
        sleep 1
        read -r x y w h <<< "$(place "$workspace")"
        echo "scale $scale: the workspace at $x,$y, $w x $h"
        [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le 1280 ] && [ $((y + h)) -le 800 ] ||
            fail "scale $scale: the workspace at $x,$y, $w x $h leaves the 1280 x 800 screen"
        [ -n "$shots" ] && import -window root "$shots/screen-fit-scale$scale.png"
    fi
    kill "$app" 2> /dev/null
    wait "$app" 2> /dev/null
    app=""
done
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" = 0 ]
