#!/usr/bin/env bash
# Fills BUILD/work/<target>/ with each fuzzer's starting inputs: the seeds the
# test helpers write and the committed corpus. The fuzzers add what they find
# there, never to the committed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
rm -rf "$build/work" "$build/seeds"
mkdir -p "$build/work/md3_reader" "$build/work/skin" "$build/work/texture" "$build/work/archive" \
  "$build/work/shader" "$build/work/mdl" "$build/work/md2" "$build/work/mdc" "$build/work/md5" \
  "$build/work/md5anim" "$build/work/iqm" "$build/work/gltf" "$build/work/data_uri" "$build/work/obj" "$build/seeds"
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
for format in mdl md2 mdc md5 md5anim iqm gltf data_uri obj; do
  cp fuzz/corpus/$format/* "$build/work/$format/"
done
# The IQM seeds are written by make_iqm_seeds (run by hand when they change).
# Real models start the fuzzers too, when the shared folder is beside the
# checkout; MD2s are all named tris.md2, so each goes under its folder's name.
models=../shared/models
for format in mdl mdc iqm; do
  if [ -d "$models/$format" ]; then
    find "$models/$format" -name "*.$format" -type f -size -512k -exec cp {} "$build/work/$format/" \;
  fi
done
if [ -d "$models/md2" ]; then
  find "$models/md2" -name '*.md2' -type f | while read -r model; do
    cp "$model" "$build/work/md2/real-$(basename "$(dirname "$model")").md2"
  done
fi
if [ -d "$models" ]; then
  find "$models" -name '*.md5mesh' -type f -exec cp {} "$build/work/md5/" \;
  find "$models" -name '*.md5anim' -type f -size -512k -exec cp {} "$build/work/md5anim/" \;
fi
# glTF: the .glb files and the .gltf texts (their buffers beside them are the
# fuzzer's own small buffer).
if [ -d "$models/gltf" ]; then
  find "$models/gltf" \( -name '*.glb' -o -name '*.gltf' \) -type f -size -512k \
    -exec cp {} "$build/work/gltf/" \;
fi
# OBJ models and their libraries: each library is also appended after a
# "----" line, where the fuzzer reads a second library.
if [ -d "$models/obj" ]; then
  find "$models/obj" -name '*.obj' -type f -size -512k | while read -r model; do
    name=real-$(basename "$(dirname "$model")")-$(basename "$model")
    cp "$model" "$build/work/obj/$name"
    for library in "$(dirname "$model")"/*.mtl; do
      if [ -f "$library" ]; then
        { cat "$model"; printf '\n----\n'; cat "$library"; } > "$build/work/obj/$name-$(basename "$library").obj"
      fi
    done
  done
fi
