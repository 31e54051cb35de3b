#!/usr/bin/env bash
# The real program chooses its language from the system's locale (LANG), and
# --lang overrides it: the options panel, opened from the right-click menu,
# is titled in the language chosen.
# Usage: language_under_xvfb.sh GRIDWRIGHT SAMPLE.md3   (runs its own Xvfb)
set -u
gridwright=$1 sample=$2
for tool in Xvfb xdotool xwininfo; do
    command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
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
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5> "$work/display" > /dev/null 2>&1 &
xvfb=$!
wait_until 15 test -s "$work/display" || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n 1 "$work/display") XDG_RUNTIME_DIR=$work
wait_until 15 xwininfo -root || { echo "FAIL: no X display"; exit 1; }

# Starts the program with the environment and options given, opens the
# options panel from the right-click menu and prints its title.
panel_title() { # LANG value, options...
    local lang=$1; shift
    rm -rf "$work/home"; mkdir -p "$work/home"   # nothing remembered
    env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG="$lang" HOME="$work/home" \
        "$gridwright" "$@" "$sample" > "$work/app.log" 2>&1 &
    app=$!
    local win
    win=$(timeout 15 xdotool search --sync --onlyvisible --name 'Gridwright$' | head -n 1)
    [ -n "$win" ] || { echo "(no window)"; kill $app; wait $app 2> /dev/null; return; }
    xdotool mousemove 290 70 click 3
    menu_up() { [ "$(xdotool search --onlyvisible --class gridwright | wc -l)" -ge 2 ]; }
    wait_until 10 menu_up
    xdotool key o
    panel() { xdotool search --onlyvisible --name 'OPTIONS|Options|options'; }
    wait_until 10 panel
    xdotool getwindowname "$(panel | head -n 1)" 2> /dev/null || echo "(no panel)"
    kill $app; wait $app 2> /dev/null; app=""
}

title=$(panel_title fr_FR.UTF-8)
[ "$title" = "Options du gabarit" ] || fail "LANG=fr_FR.UTF-8 gave the panel \"$title\""
title=$(panel_title en_US.UTF-8)
[ "$title" = "Template options" ] || fail "LANG=en_US.UTF-8 gave the panel \"$title\""
title=$(panel_title de_DE.UTF-8)
[ "$title" = "Template options" ] || fail "LANG=de_DE.UTF-8 gave the panel \"$title\""
title=$(panel_title fr_FR.UTF-8 --lang en)
[ "$title" = "Template options" ] || fail "--lang en under a French locale gave \"$title\""
title=$(panel_title en_US.UTF-8 --lang fr)
[ "$title" = "Options du gabarit" ] || fail "--lang fr under an English locale gave \"$title\""
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$gridwright" --lang de "$sample" > /dev/null 2>&1
[ $? = 2 ] || fail "--lang de was not refused"

echo "$((failures == 0 ? 1 : 0)) passed, $failures failed"
[ "$failures" = 0 ]
