#!/usr/bin/env bash
# The real program in a real X server: load through the open dialog, select,
# Flatten, Copy (read back by another program) and Save through the save
# dialog; the window's shape, its cut-away corners and dragging it.
# Also: started with a model argument, keyboard focus (Tab to the surface
# list, the menu keys), the options panel, a
# wrapped surface saved as a large PNG, a transparent copy and a real drop.
# Usage: e2e_window_test.sh GRIDWRIGHT SAMPLE.md3 SKIN.png DROP_SENDER   (runs its own Xvfb)
set -u
gridwright=$1 sample=$2 skin=$3 drop_sender=$4
for tool in Xvfb xdotool xclip xwininfo import convert identify; do
    command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
failures=0 checks=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { checks=$((checks + 1)); }

# Waits until the command succeeds, for at most $1 seconds; false on time-out.
wait_until() {
    local deadline=$((SECONDS + $1)); shift
    until "$@" > /dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# The server picks a free display itself and writes its number once it is ready.
app="" xvfb=""
cleanup() { kill $app $xvfb 2> /dev/null; wait 2> /dev/null; rm -rf "$work"; }
trap cleanup EXIT
Xvfb -displayfd 5 -screen 0 1280x1024x24 -br -nolisten tcp 5> "$work/display" > "$work/xvfb.log" 2>&1 &
xvfb=$!
wait_until 15 test -s "$work/display" || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=:$(head -n 1 "$work/display")
wait_until 15 xwininfo -root || { echo "FAIL: no X display $DISPLAY"; exit 1; }

export XDG_RUNTIME_DIR=$work HOME=$work
cp "$sample" "$work/gridbot.md3"
"$gridwright" --lang en "$work/gridbot.md3" > "$work/app.log" 2>&1 &
app=$!
# Started with a model: the task bar names it.
win=$(timeout 15 xdotool search --sync --onlyvisible --name '^gridbot.md3 — Gridwright$' | head -n 1)
[ -n "$win" ] || { echo "FAIL: no Gridwright window"; cat "$work/app.log"; exit 1; }
shaped() { xwininfo -shape -id "$win" | grep -q 'Window shape extents'; }
wait_until 10 shaped || fail "the window was never shaped"

pixel() { # x y -> "r,g,b" of the screen
    import -window root "$work/shot.png"
    convert "$work/shot.png" -crop "1x1+$1+$2" -depth 8 -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:
}
geometry() { xwininfo -id "$win" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width/{w=$NF} /Height/{h=$NF} END{print x","y","w","h}'; }
click() { xdotool mousemove "$1" "$2" click 1; }
# True when the screen pixel at x y has the colour "r,g,b".
pixel_is() { [ "$(pixel "$1" "$2")" = "$3" ]; }
other_window() { xdotool search --onlyvisible --class gridwright | grep -qv "^$win$"; }
no_other_window() { ! other_window; }

# The window: place, size, and the skin's outline as its shape.
check; [ "$(geometry)" = "50,50,560,475" ] || fail "window geometry $(geometry)"
expected=$(convert "$skin" -crop 560x475+0+0 +repage -trim -format '%wx%h%O' info:)
shape=$(xwininfo -shape -id "$win" | sed -n 's/.*Window shape extents: *//p')
check; [ -n "$shape" ] && [ "$shape" = "$expected" ] ||
    fail "window shape '$shape', skin outline '$expected'"
for corner in "52 52" "607 52" "52 522" "607 522"; do
    check; [ "$(pixel $corner)" = "0,0,0" ] || fail "the cut-away corner $corner shows $(pixel $corner), not the root window"
done
check; [ "$(pixel 600 500)" = "0,0,0" ] || fail "outside the shape at the bottom right"
check; [ "$(pixel 150 250)" != "0,0,0" ] || fail "the face is not painted"

# By keyboard alone: Tab reaches the surface list, whose arrows then choose
# a surface (the preview changes); the menu key and Shift+F10 open the
# right-click menu.
timeout 5 xdotool windowfocus --sync "$win"
preview_shot() { import -window root -crop 203x212+$((50 + 273))+$((50 + 193)) +repage "$work/$1.png"; }
sleep 0.5
# The list has the keyboard from the start, and shows it in orange round its well.
check; [ "$(pixel $((50 + 23)) $((50 + 200)))" = "236,132,34" ] ||
    fail "the surface list's focus does not show at start: $(pixel $((50 + 23)) $((50 + 200)))"
preview_shot first-surface
reached=0
for _ in 1 2 3 4 5 6 7 8; do
    xdotool key Tab End
    sleep 0.4
    preview_shot after-end
    if [ "$(compare -metric AE "$work/first-surface.png" "$work/after-end.png" null: 2>&1)" != 0 ]; then
        reached=1
        break
    fi
done
check; [ "$reached" = 1 ] || fail "Tab never reached the surface list: End chose no other surface"
for key in Menu shift+F10; do
    xdotool key "$key"
    check; wait_until 5 other_window || fail "$key opened no menu"
    xdotool key Escape
    wait_until 5 no_other_window
done

# Load the sample through the real open dialog, by keyboard.
click $((50 + 109)) $((50 + 425))
check; wait_until 10 other_window || fail "no open dialog"
dialog=$(xdotool search --onlyvisible --class gridwright | grep -v "^$win$" | head -n 1)
timeout 5 xdotool windowfocus --sync "$dialog"
xdotool type --delay 20 "$sample"
xdotool key Return
wait_until 10 no_other_window || fail "the open dialog did not close"

# Select a_antenna: first line, then End and one up.
click $((50 + 60)) $((50 + 73 + 6))
xdotool key End Up
# Keyboard focus is visible: Tab moves it to a dial, and the dial shows it.
import -window root "$work/before-tab.png"
xdotool key Tab
focus_shows() {
    import -window root "$work/after-tab.png"
    [ "$(compare -metric AE "$work/before-tab.png" "$work/after-tab.png" null: 2>&1)" != 0 ]
}
check; wait_until 10 focus_shows || fail "Tab changed no pixel: focus is invisible"
xdotool key shift+Tab
wait_until 10 pixel_is $((50 + 375)) $((50 + 351)) "255,255,255"
# Its triangle (0.25,0.75) (0.75,0.75) (0.5,0.25) in the frame at 273,193,203,212:
# scale 201, origin 275,201 -> (325,351) (425,351) (375,251).
check; [ "$(pixel $((50 + 375)) $((50 + 351)))" = "255,255,255" ] || fail "preview: bottom edge not drawn"
check; [ "$(pixel $((50 + 375)) $((50 + 251)))" = "255,255,255" ] || fail "preview: apex not drawn"
check; [ "$(pixel $((50 + 375)) $((50 + 320)))" = "0,0,0" ] || fail "preview: inside not black"

export_dialog() { # finds the 336x92 export dialog; prints "id x y"
    for id in $(xdotool search --onlyvisible --class gridwright); do
        info=$(xwininfo -id "$id")
        if echo "$info" | grep -q 'Width: 336' && echo "$info" | grep -q 'Height: 92'; then
            echo "$id $(echo "$info" | awk '/Absolute upper-left X/{print $NF}') $(echo "$info" | awk '/Absolute upper-left Y/{print $NF}')"
            return
        fi
    done
}

# Flatten, 256 wide and 64 high, Copy; another program reads the clipboard.
has_export_dialog() { [ -n "$(export_dialog)" ]; }
no_export_dialog() { ! has_export_dialog; }
click $((50 + 512)) $((50 + 359))
wait_until 10 has_export_dialog
read -r edlg ex ey <<< "$(export_dialog)"
check; [ -n "${edlg:-}" ] || fail "Flatten opened no export dialog"
if [ -n "${edlg:-}" ]; then
    click $((ex + 233)) $((ey + 23))   # width 256
    click $((ex + 143)) $((ey + 45))   # height 64
    click $((ex + 308)) $((ey + 34))   # Copy: the dialog stays open
    wait_until 10 xclip -selection clipboard -t image/png -o
    xclip -selection clipboard -t image/png -o > "$work/clip.png" 2> "$work/xclip.err"
    check; [ "$(identify -format '%wx%h' "$work/clip.png" 2>/dev/null)" = "256x64" ] ||
        fail "clipboard image: $(identify -format '%wx%h' "$work/clip.png" 2>&1) $(cat "$work/xclip.err")"
    # At 256 x 64 the corners land on (64,48) (192,48) (128,16).
    value() { convert "$work/clip.png" -crop "1x1+$1+$2" -depth 8 -format '%[fx:int(255*r)]' info:; }
    check; [ "$(value 128 48)" = 0 ] && [ "$(value 128 16)" = 0 ] && [ "$(value 64 48)" = 0 ] ||
        fail "clipboard lines missing"
    check; [ "$(value 128 35)" = 255 ] && [ "$(value 5 5)" = 255 ] || fail "clipboard background"
    click $((ex + 308)) $((ey + 55))   # Cancel
    wait_until 10 no_export_dialog
fi

# Flatten, then Save through the real save dialog as the name given
# (without an extension the chosen type's is added: waits for FILE).
save_through_dialog() { # name-typed file-expected
    click $((50 + 512)) $((50 + 359))
    wait_until 10 has_export_dialog
    read -r edlg ex ey <<< "$(export_dialog)"
    [ -n "${edlg:-}" ] || return
    click $((ex + 308)) $((ey + 13))   # Save
    save_dialog() { xdotool search --onlyvisible --class gridwright | grep -v "^$win$" | grep -qv "^$edlg$"; }
    wait_until 10 save_dialog
    xdotool key ctrl+a
    xdotool type --delay 20 "$1"
    xdotool key Return
    wait_until 10 test -s "$2"
}
save_through_dialog "$work/template" "$work/template.eps"
check; [ -f "$work/template.eps" ] || fail "Save wrote no template.eps (the type's extension)"
check; grep -q $'^%%Title: (template.eps)\r$' "$work/template.eps" 2>/dev/null || fail "EPS title"
# The size chosen last (256 x 64) is remembered.
check; grep -q $'^%%BoundingBox: 0 0 256 64\r$' "$work/template.eps" 2>/dev/null || fail "EPS size"
check; grep -q $'^64 16 moveto\r$' "$work/template.eps" 2>/dev/null || fail "EPS triangle"

# The wrapped shoulder pads (v from 1.64 to 1.94), 1024 x 1024 through the
# options panel (right-click menu, the size list by keyboard), saved as PNG.
wait_until 10 no_other_window
click $((50 + 60)) $((50 + 73 + 6))
xdotool key End
xdotool mousemove $((50 + 240)) $((50 + 20)) click 3
menu_up() { [ "$(xdotool search --onlyvisible --class gridwright | wc -l)" -ge 2 ]; }
wait_until 10 menu_up
xdotool key o
options_panel() { xdotool search --onlyvisible --name '^Template options$'; }
check; wait_until 10 options_panel || fail "the right-click menu opened no options panel"
panel=$(options_panel | head -n 1)
timeout 5 xdotool windowfocus --sync "$panel"
xdotool key Home Down Down Down Down Down Down Return   # the texture's, 32 ... 1024, then OK
wait_until 10 no_other_window
save_through_dialog "$work/shoulders.png" "$work/shoulders.png"
check; [ "$(identify -format '%wx%h' "$work/shoulders.png" 2>/dev/null)" = "1024x1024" ] ||
    fail "the wrapped surface's PNG: $(identify -format '%wx%h' "$work/shoulders.png" 2>&1)"
# Its pads land at v 0.64 to 0.94 of the template: ink there, none at the top.
ink() { convert "$work/shoulders.png" -crop "$1" -format '%[fx:mean<1?1:0]' info: 2>/dev/null; }
check; [ "$(ink 400x300+540+660)" = 1 ] && [ "$(ink 1024x600+0+0)" = 0 ] ||
    fail "the wrapped layout is not where the game shows it"

# A transparent template on the clipboard keeps its alpha.
conf=$HOME/.config/Gridwright/Gridwright.ini
wait_until 10 no_other_window
check; [ -f "$conf" ] && sed -i 's/^background=.*/background=none/' "$conf" || fail "no settings file"
click $((50 + 512)) $((50 + 359))
wait_until 10 has_export_dialog
read -r edlg ex ey <<< "$(export_dialog)"
if [ -n "${edlg:-}" ]; then
    click $((ex + 308)) $((ey + 34))   # Copy
    transparent_copy() {
        xclip -selection clipboard -t image/png -o > "$work/clear.png" 2> /dev/null &&
            [ "$(identify -format '%w' "$work/clear.png" 2> /dev/null)" = 1024 ]
    }
    wait_until 10 transparent_copy
    click $((ex + 308)) $((ey + 55))   # Cancel
fi
check; [ "$(identify -format '%A' "$work/clear.png" 2>/dev/null)" = "Blend" ] ||
    [ "$(identify -format '%[channels]' "$work/clear.png" 2>/dev/null)" = "srgba" ] ||
    fail "the copied template has no alpha channel: $(identify "$work/clear.png" 2>&1)"
check; [ "$(convert "$work/clear.png" -crop 1x1+10+10 -format '%[fx:int(255*a)]' info: 2>/dev/null)" = 0 ] ||
    fail "away from the lines the copy is not transparent"

# A model dropped on the window from another program (XDND) is opened.
wait_until 10 no_other_window
cp "$sample" "$work/dropped.md3"
"$drop_sender" "$work/dropped.md3" 700 600 > "$work/drop.log" 2>&1 &
sender=$!
sender_up() { xdotool search --onlyvisible --name '^drop-sender$'; }
wait_until 10 sender_up
xdotool mousemove 730 630 mousedown 1 mousemove 740 640 sleep 0.2 mousemove 400 400 sleep 0.2 \
    mousemove $((50 + 100)) $((50 + 200)) sleep 0.3 mouseup 1
dropped() { xdotool search --onlyvisible --name '^dropped.md3 — Gridwright$'; }
check; wait_until 10 dropped || fail "a dropped model was not opened ($(cat "$work/drop.log"))"
kill "$sender" 2> /dev/null

# Drag the window by its face.
wait_until 10 no_other_window
xdotool mousemove $((50 + 240)) $((50 + 20)) mousedown 1 \
    mousemove $((50 + 290)) $((50 + 60)) mousemove $((50 + 340)) $((50 + 100))
moved() { [ "$(geometry)" = "150,130,560,475" ]; }
wait_until 10 moved
xdotool mouseup 1
check; [ "$(geometry)" = "150,130,560,475" ] || fail "dragging moved the window to $(geometry)"
check; [ -n "$(xwininfo -shape -id "$win" | sed -n 's/.*Window shape extents: *//p')" ] || fail "shape lost after moving"

# The close cross ends the program.
click $((150 + 475)) $((130 + 26))
ended() { ! kill -0 "$app"; }
wait_until 10 ended
check; kill -0 "$app" 2> /dev/null && fail "the close button did not end the program"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" = 0 ]
