#!/usr/bin/env bash
# Fills BUILD/work/<target>/ with each fuzzer's starting inputs: the seeds the
# test helpers write and the committed corpus. The fuzzers add what they find
# there, never to the committed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
rm -rf "$build/work" "$build/seeds"
mkdir -p "$build/work/md3_reader" "$build/work/skin" "$build/work/texture" "$build/work/archive" \
  "$build/work/shader" "$build/work/mdl" "$build/seeds"
  "$build/work/shader" "$build/work/md2" "$build/seeds"
  "$build/work/shader" "$build/work/mdc" "$build/seeds"
  "$build/work/shader" "$build/work/md5" "$build/seeds"
  "$build/work/shader" "$build/work/iqm" "$build/seeds"
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
cp fuzz/corpus/mdl/* "$build/work/mdl/"
# Real MDL models, when the shared corpus is beside the repository.
if [ -d ../shared/models/mdl ]; then
  find ../shared/models/mdl -name '*.mdl' -type f -exec cp {} "$build/work/mdl/" \;
cp fuzz/corpus/md2/* "$build/work/md2/"
# The real models, when the shared corpus is beside the checkout: all are
# named tris.md2, so each is copied under its folder's name.
if [ -d ../shared/models/md2 ]; then
  find ../shared/models/md2 -name '*.md2' -type f | while read -r model; do
    cp "$model" "$build/work/md2/real-$(basename "$(dirname "$model")").md2"
  done
cp fuzz/corpus/mdc/* "$build/work/mdc/"
# The real models, when the shared folder is beside the worktree.
models=../shared/models
if [ -d "$models/mdc" ]; then
  find "$models/mdc" -name '*.mdc' -type f -exec cp {} "$build/work/mdc/" \;
cp fuzz/corpus/md5/* "$build/work/md5/"
# Real Doom 3 meshes, when the shared model folder is beside the checkout.
if [ -d ../shared/models ]; then
  find ../shared/models -name '*.md5mesh' -type f -exec cp {} "$build/work/md5/" \;
# The IQM seeds are written by make_iqm_seeds (run by hand when they change);
# the real models, when the shared folder is there, start the fuzzer too.
cp fuzz/corpus/iqm/* "$build/work/iqm/"
if [ -d ../shared/models/iqm ]; then
  find ../shared/models/iqm -name '*.iqm' -size -512k -exec cp {} "$build/work/iqm/" \;
fi
