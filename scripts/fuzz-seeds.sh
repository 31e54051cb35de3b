#!/usr/bin/env bash
# Fills BUILD/work/<target>/ with each fuzzer's starting inputs: the seeds the
# test helpers write and the committed corpus. The fuzzers add what they find
# there, never to the committed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
rm -rf "$build/work" "$build/seeds"
mkdir -p "$build/work/md3_reader" "$build/work/skin" "$build/work/texture" "$build/work/archive" \
  "$build/work/shader" "$build/work/md5" "$build/seeds"
"$build/bin/make_fuzz_seeds" "$build/work/md3_reader"
cp res/samples/*.md3 fuzz/corpus/md3/* "$build/work/md3_reader/"
"$build/bin/make_test_models" "$build/seeds" > /dev/null
game="$build/seeds/game/models/players/bot"
cp "$game"/*.skin fuzz/corpus/skin/* "$build/work/skin/"
cp "$game"/*.tga "$game"/*.jpg "$game"/*.png "$build/work/texture/"
# The large regression inputs are replayed whole above, not explored from.
find fuzz/corpus/texture -size -16k -type f -exec cp {} "$build/work/texture/" \;
cp fuzz/corpus/archive/* "$build/work/archive/"
cp fuzz/corpus/shader/* "$build/work/shader/"
cp fuzz/corpus/md5/* "$build/work/md5/"
# Real Doom 3 meshes, when the shared model folder is beside the checkout.
if [ -d ../shared/models ]; then
  find ../shared/models -name '*.md5mesh' -type f -exec cp {} "$build/work/md5/" \;
fi
