#!/usr/bin/env bash
# A user's or a packager's build never stops on a compiler's warning: the
# default configure (no options, no build type) compiles nothing with
# -Werror, and a warning planted in a scratch copy of a source file is
# reported while the build goes on. Warnings become errors only where the
# test command asks for it.
# Usage: user_build_check.sh SOURCE_DIR
set -u
source_dir=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 checks=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The whole tree, but no Qt or benchmarks needed: the core decides the flags.
mkdir "$work/src"
tar -C "$source_dir" --exclude='./build*' --exclude=./.git --exclude=./out -cf - . | tar -C "$work/src" -xf -
checks=$((checks + 1))
if ! cmake -S "$work/src" -B "$work/build" -G Ninja -DGW_GUI=OFF -DGW_BENCH=OFF > "$work/configure.log" 2>&1; then
    fail "the default configure failed: $(tail -n 5 "$work/configure.log")"
else
    checks=$((checks + 1))
    # -Werror=format-security and the like name one warning; a bare -Werror
    # (or CMake's own switch) makes every warning an error.
    if grep -Eq -- '-Werror( |")' "$work/build/compile_commands.json"; then
        fail "the default configure compiles with -Werror: $(grep -Eo -- '-Werror[^ ]*' "$work/build/compile_commands.json" | sort -u | tr '\n' ' ')"
    fi
    # A warning in the code must not stop the build.
    checks=$((checks + 1))
    printf '\nstatic int gwUnusedForTheCheck(int unused) { int x; return 0; }\n' >> "$work/src/model/Bytes.cpp"
    if ! cmake --build "$work/build" --target gw_model > "$work/build.log" 2>&1; then
        fail "a warning stopped the default build: $(grep -m 3 -E 'error|warning' "$work/build.log")"
    elif ! grep -q 'warning:' "$work/build.log"; then
        fail "the planted warning was not reported at all"
    fi
fi
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" = 0 ]
