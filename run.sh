#!/usr/bin/env bash
# Installs what is missing, builds, and flattens the bundled sample model.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "$(nproc)" > /dev/null
build/bin/gridwright-flatten res/samples/gridbot.md3 --surface u_torso --size 256x256 -o out/gridbot-torso.eps
