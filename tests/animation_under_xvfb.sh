#!/usr/bin/env bash
# gridwright --workspace MODEL --animation NAME under Xvfb: the workspace
# opening on LEGS_RUN shows the legs otherwise than on LEGS_IDLE, and a name
# the model lacks is said.
# Usage: animation_under_xvfb.sh GRIDWRIGHT LOWER.md3   (runs its own Xvfb; 77: skipped)
set -u
gridwright=$1 model=$2
[ -f "$model" ] || { echo "skipped: $model is not here"; exit 77; }
for tool in Xvfb xdotool import compare; do
    command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
app="" xvfb=""
cleanup() { kill $app $xvfb 2> /dev/null; wait 2> /dev/null; rm -rf "$work"; }
trap cleanup EXIT
wait_until() {
    local deadline=$((SECONDS + $1)); shift
    until "$@" > /dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}
Xvfb -displayfd 5 -screen 0 1280x800x24 +extension GLX -nolisten tcp 5> "$work/display" \
    > "$work/xvfb.log" 2>&1 &
xvfb=$!
wait_until 15 test -s "$work/display" || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n 1 "$work/display") XDG_RUNTIME_DIR=$work HOME=$work LIBGL_ALWAYS_SOFTWARE=1
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
failures=0
shoot() { # animation -> the workspace's picture in $work/NAME.png
    rm -rf "$work/.config"
    "$gridwright" --lang en --workspace --animation "$1" "$model" > "$work/$1.log" 2>&1 &
    app=$!
    local id
    id=$(timeout 20 xdotool search --sync --onlyvisible --name '^Workspace — Gridwright$' | head -n 1)
    if [ -z "$id" ]; then
        echo "FAIL: $1: no workspace ($(cat "$work/$1.log"))"
        failures=$((failures + 1))
    else
        sleep 2 # the textures decoded, the frame drawn
        import -window "$id" "$work/$1.png"
    fi
    kill "$app" 2> /dev/null
    wait "$app" 2> /dev/null
    app=""
}
shoot LEGS_IDLE
shoot LEGS_RUN
if [ -f "$work/LEGS_IDLE.png" ] && [ -f "$work/LEGS_RUN.png" ]; then
    differ=$(compare -metric AE "$work/LEGS_IDLE.png" "$work/LEGS_RUN.png" null: 2>&1 | cut -d' ' -f1)
    echo "LEGS_RUN against LEGS_IDLE: $differ pixels differ"
    [ "${differ%.*}" -gt 200 ] 2> /dev/null ||
        { echo "FAIL: the legs look the same running and idle"; failures=$((failures + 1)); }
fi
shoot NO_SUCH_ANIMATION
grep -q 'no animation "NO_SUCH_ANIMATION"' "$work/NO_SUCH_ANIMATION.log" ||
    { echo "FAIL: an animation the model lacks is not said"; failures=$((failures + 1)); }
[ "$failures" = 0 ] && echo "passed"
[ "$failures" = 0 ]
