#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build, the
# Debian package (built, linted, installed and removed, when root), the core
# built and tested without Qt, a short run of each fuzzer, and every test
# again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
jobs=$(nproc)

echo "== build and test =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== the Debian package: build, lintian, install, remove =="
status=0
tests/package_check.sh build || status=$?
[ "$status" = 0 ] || [ "$status" = 77 ] || exit "$status"

echo "== the core and the command line without Qt =="
cmake -S . -B build-core -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGW_GUI=OFF -DGW_BENCH=OFF > /dev/null
cmake --build build-core -j "$jobs"
ctest --test-dir build-core --output-on-failure -j "$jobs"

echo "== fuzzing the MD3 reader for ${GW_FUZZ_SECONDS:=60} s, the skin parser and the texture decoder =="
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGW_GUI=OFF -DGW_BENCH=OFF -DGW_SANITIZE=ON -DGW_FUZZ=ON > /dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz_md3_reader fuzz_skin fuzz_texture make_fuzz_seeds make_test_models
mkdir -p build-fuzz/corpus build-fuzz/skins build-fuzz/textures build-fuzz/seeds
build-fuzz/bin/make_fuzz_seeds build-fuzz/corpus
cp res/samples/*.md3 build-fuzz/corpus/
build-fuzz/bin/make_test_models build-fuzz/seeds > /dev/null
cp build-fuzz/seeds/game/models/players/bot/*.skin build-fuzz/skins/
cp build-fuzz/seeds/game/models/players/bot/*.tga build-fuzz/seeds/game/models/players/bot/*.jpg \
  build-fuzz/seeds/game/models/players/bot/*.png build-fuzz/textures/
build-fuzz/bin/fuzz_md3_reader -max_total_time="$GW_FUZZ_SECONDS" -print_final_stats=1 \
  build-fuzz/corpus 2>&1 | tail -n 12
for target in skin texture; do
  dir=skins; [ "$target" = texture ] && dir=textures
  build-fuzz/bin/fuzz_$target -max_total_time=$((GW_FUZZ_SECONDS / 3)) -print_final_stats=1 \
    build-fuzz/$dir 2>&1 | grep -E "stat::number_of_executed_units|ERROR|SUMMARY"
done

echo "== AddressSanitizer + UndefinedBehaviorSanitizer =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGW_SANITIZE=ON -DGW_BENCH=OFF > /dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"
