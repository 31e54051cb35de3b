#!/usr/bin/env bash
# Runs a test program on its own X display with Mesa's software OpenGL.
# Usage: gl_under_xvfb.sh PROGRAM [ARGS...]
set -u
command -v Xvfb > /dev/null || { echo "skipped: Xvfb is not installed"; exit 77; }
work=$(mktemp -d)
xvfb=""
trap 'kill $xvfb 2> /dev/null; wait 2> /dev/null; rm -rf "$work"' EXIT
Xvfb -displayfd 5 -screen 0 1600x1000x24 +extension GLX -nolisten tcp 5> "$work/display" \
    > /dev/null 2>&1 &
xvfb=$!
for _ in $(seq 300); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n 1 "$work/display") XDG_RUNTIME_DIR=$work LIBGL_ALWAYS_SOFTWARE=1 \
    QT_QPA_PLATFORM=xcb
# Mesa's JIT-compiled renderer and D-Bus keep a few allocations until exit,
# in code without frames LeakSanitizer could name or suppress; leaks of our
# own code are checked by the offscreen widget tests, which cover the rest.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
"$@"
