#!/usr/bin/env bash
# Screenshots of the real program for the README, made under Xvfb: the main
# window with the sample's torso selected, the export dialog and the options
# panel. Needs Xvfb, xdotool and ImageMagick (scripts/install-deps.sh).
#   scripts/make-screenshots.sh [build/bin/gridwright]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
gridwright=${1:-$here/build/bin/gridwright}
out=$here/docs/screenshots
work=$(mktemp -d)
app="" xvfb=""
trap 'kill $app $xvfb 2> /dev/null; wait 2> /dev/null; rm -rf "$work"' EXIT
wait_until() { # seconds, command...: true once the command succeeds
    local deadline=$((SECONDS + $1)); shift
    until "$@" > /dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5> "$work/display" 2> /dev/null &
xvfb=$!
wait_until 15 test -s "$work/display"
export DISPLAY=:$(head -n 1 "$work/display") HOME=$work XDG_RUNTIME_DIR=$work
mkdir -p "$work/.config/Gridwright"
# A painter's options: smooth lines, filled faces and overlaps shown.
cat > "$work/.config/Gridwright/Gridwright.ini" <<'INI'
[template]
width=512
height=512
antialias=true
lineWidth=1.5
fill=#ffb34760
overlaps=true
surfaces=texture
textureSize=false
INI
"$gridwright" --lang en "$here/res/samples/gridbot.md3" > "$work/app.log" 2>&1 &
app=$!
wait_until 15 xdotool search --onlyvisible --name 'gridbot.md3'
main=$(xdotool search --onlyvisible --name 'gridbot.md3' | head -n 1)
second_window() { xdotool search --onlyvisible --class gridwright | grep -qv "^$main$"; }
xdotool mousemove 110 129 click 1          # u_torso
snap() { # name, x, y, w, h: a part of the screen once it has settled
    sleep 0.3
    import -window root -crop "$4x$5+$2+$3" +repage "$out/$1.png"
}
mkdir -p "$out"
snap main 50 50 560 475
xdotool mousemove 562 409 click 1          # Flatten
wait_until 10 second_window
dialog=$(xdotool search --onlyvisible --class gridwright | grep -v "^$main$" | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$dialog")"
snap export "$X" "$Y" "$WIDTH" "$HEIGHT"
xdotool mousemove $((X + 50)) $((Y + 80)) click 1   # Options…
wait_until 10 xdotool search --onlyvisible --name '^Template options$'
panel=$(xdotool search --onlyvisible --name '^Template options$' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$panel")"
snap options "$X" "$Y" "$WIDTH" "$HEIGHT"
echo "screenshots in $out"
