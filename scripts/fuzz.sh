#!/usr/bin/env bash
# A longer exploration than test.sh's, before landing a change to a reader or
# a decoder: scripts/fuzz.sh md3_reader|skin|texture|archive|shader SECONDS. A crashing
# input is written to fuzz-finds/; add it to fuzz/corpus/<target>/ with the fix.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?md3_reader, skin, texture, archive or shader}
seconds=${2:-300}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGW_GUI=OFF -DGW_BENCH=OFF -DGW_SANITIZE=ON -DGW_FUZZ=ON > /dev/null
cmake --build build-fuzz --target "fuzz_$target" make_fuzz_seeds make_test_models
scripts/fuzz-seeds.sh build-fuzz
mkdir -p fuzz-finds
build-fuzz/bin/fuzz_"$target" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix=fuzz-finds/ "build-fuzz/work/$target"
