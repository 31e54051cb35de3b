#!/usr/bin/env bash
# Installs what is missing, builds, and starts Gridwright.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "$(nproc)" > /dev/null
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here, so the window cannot open. From the command line, for example:"
  echo "  build/bin/gridwright-flatten res/samples/gridbot.md3 --surface u_torso --size 256x256 -o out/torso.eps"
  exit 1
fi
echo "Starting Gridwright; load res/samples/gridbot.md3 with the Open dial."
exec build/bin/gridwright
