#!/usr/bin/env bash
# Fills BUILD/work/<target>/ with each fuzzer's starting inputs: the seeds the
# test helpers write and the committed corpus. The fuzzers add what they find
# there, never to the committed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
rm -rf "$build/work" "$build/seeds"
mkdir -p "$build/work/md3_reader" "$build/work/skin" "$build/work/texture" "$build/work/archive" \
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
# The IQM seeds are written by make_iqm_seeds (run by hand when they change);
# the real models, when the shared folder is there, start the fuzzer too.
cp fuzz/corpus/iqm/* "$build/work/iqm/"
if [ -d ../shared/models/iqm ]; then
  find ../shared/models/iqm -name '*.iqm' -size -512k -exec cp {} "$build/work/iqm/" \;
fi
