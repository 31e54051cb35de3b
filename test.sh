#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the packager's build
# (Release with Debian's flags) and its Debian package (built, linted,
# installed and removed, when root), the core built and tested without Qt,
# the core and the command line cross-built for Windows and tested under
# Wine (with the release archive and installer), a
# short run of each fuzzer, and the core's tests again under AddressSanitizer
# and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
jobs=$(nproc)
# Each step says when it starts, to see where the time goes.
section() { echo "== $* == (at $SECONDS s)"; }

section "house rules: clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

section "build and test"
# Warnings are errors here, in every build of the test command, and nowhere else.
werror=-DCMAKE_COMPILE_WARNING_AS_ERROR=ON
# The build without Qt compiles the core as the first build did: one compiler
# cache, paths taken from this folder and not from each build's, serves both.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1 CCACHE_DIR=${CCACHE_DIR:-$PWD/.ccache}
werror="$werror -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
# The benchmarks are built here for those who measure; CI's machine, which
# measures nothing, leaves them out to keep within its time.
bench=ON
[ "${CI:-}" = true ] && bench=OFF
# The tested build is a packager's: Release (-O3) with the flags Debian builds
# packages with (dpkg-buildflags: fortify, the stack protector,
# format-security), so that it is proven free of warnings, its programs are
# the ones tested, and the package is made from it.
export CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DGW_BENCH=$bench $werror > /dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"
section "house rules: clang-tidy over the core and the command line"
ls model/*.cpp image/*.cpp game/*.cpp render/*.cpp scene/*.cpp bake/*.cpp export/*.cpp \
  flatten/*.cpp cli/*.cpp | grep -v 'Windows\.cpp$' | # built for Windows alone
  xargs -P "$jobs" -n 4 clang-tidy -p build --quiet --extra-arg=-Wno-unknown-warning-option 2> /dev/null

section "the Debian package: build, lintian, install, remove"
status=0
tests/package_check.sh build || status=$?
[ "$status" = 0 ] || [ "$status" = 77 ] || exit "$status"

section "the core and the command line without Qt"
cmake -S . -B build-core -G Ninja -DCMAKE_BUILD_TYPE=Release -DGW_GUI=OFF -DGW_BENCH=OFF $werror > /dev/null
cmake --build build-core -j "$jobs"
# The checks of other programs' builds and files ran on the first build.
ctest --test-dir build-core --output-on-failure -j "$jobs" -E '^(user_build_check|layered_check)$'

section "Windows: the core and the command line cross-built, tested under Wine, packaged"
# Its own compilers and flags (Debian's Linux flags are not mingw's); the
# libraries are built once into build-windows-deps/ and kept there.
env -u CXXFLAGS -u LDFLAGS scripts/build-windows.sh
# The .exe writes the Linux program's template bytes, and its archive and
# installer hold what they should and work as unpacked or installed.
tests/windows_same_bytes.sh build-core/bin/gridwright-flatten build-windows/bin/gridwright-flatten.exe
tests/windows_package_check.sh build-windows/gridwright-flatten-*-windows-x86_64.zip \
  build-windows/bin/gridwright-flatten.exe

section "the sanitizers' build: AddressSanitizer, UndefinedBehaviorSanitizer, the fuzzers"
# One build serves both the fuzzers and the core's tests under the sanitizers:
# clang, optimised (the fuzzers' speed), coverage feedback from every library.
unset CXXFLAGS LDFLAGS
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGW_GUI=OFF -DGW_BENCH=OFF -DGW_SANITIZE=ON -DGW_FUZZ=ON $werror > /dev/null
cmake --build build-fuzz -j "$jobs"

section "fuzzing: the committed corpus replayed, then a fixed exploration"
scripts/fuzz-seeds.sh build-fuzz
# Every input that ever made a fuzzer fail is replayed one by one (whole, at
# any size); then each fuzzer explores from the seeds with a fixed seed and a
# fixed number of runs, so that every run of this script gives one answer.
for target in md3_reader skin texture archive shader mdl md2 mdc md5 md5anim iqm gltf data_uri obj; do
  corpus=fuzz/corpus/${target%_reader}
  build-fuzz/bin/fuzz_$target -timeout=60 "$corpus"/* 2>&1 | grep -E "ERROR|SUMMARY|Executed" | tail -n 2
done
# An input that takes a minute is a hang: it fails then, not after
# libFuzzer's own twenty minutes.
explore() { # target runs max_len [libFuzzer options]
  build-fuzz/bin/fuzz_$1 -seed=1 -runs="$2" -max_len="$3" -timeout=60 -print_final_stats=1 "${@:4}" \
    build-fuzz/work/$1 2>&1 | grep -E "stat::number_of_executed_units|ERROR|SUMMARY"
}
# Two at a time, one a core: each fuzzer's answer is its own seed and runs,
# whichever runs beside it.
lane_a() { # the archive fuzzer alone takes about as long as the rest together
  explore archive 12500 16384 || return
  explore md3_reader 10000 16384 || return
  explore texture 5000 16384 || return
}
lane_b() {
  explore skin 50000 4096 || return
  explore shader 75000 4096 || return
  explore mdl 25000 16384 || return
  explore md2 25000 16384 || return
  explore mdc 25000 16384 || return
  explore md5 50000 16384 -dict=fuzz/md5.dict || return
  explore md5anim 50000 16384 -dict=fuzz/md5anim.dict || return
  explore iqm 25000 16384 || return
  explore gltf 37500 16384 -dict=fuzz/gltf.dict || return
  explore obj 50000 16384 || return
  explore data_uri 75000 512 || return
}
lane_a > build-fuzz/lane-a.log 2>&1 &
lane=$!
status=0
lane_b > build-fuzz/lane-b.log 2>&1 || status=$?
wait "$lane" || status=$?
cat build-fuzz/lane-a.log build-fuzz/lane-b.log
[ "$status" = 0 ] || { echo "a fuzzer failed"; exit "$status"; }

section "the core's tests under AddressSanitizer + UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
  ctest --test-dir build-fuzz --output-on-failure -j "$jobs" -E '^user_build_check$'
section "done"
