#!/bin/bash
# The command line and the core for 64-bit Windows, cross-built on Debian 12
# and tested under Wine:
#   scripts/build-windows.sh            # everything, then the tests
#   scripts/build-windows.sh --no-tests
# Installs what it needs (as root), builds the libraries once into
# build-windows-deps/ (GW_WINDOWS_DEPS to put them elsewhere), then builds
# into build-windows/, leaving build-windows/bin/gridwright-flatten.exe, a
# static program that needs nothing installed beside it, and its release
# archive and installer (scripts/package-windows.sh).
set -euo pipefail
HERE=$(cd "$(dirname "$0")/.." && pwd)
DEPS=${GW_WINDOWS_DEPS:-$HERE/build-windows-deps}
BUILD=$HERE/build-windows
TESTS=1
[[ "${1:-}" == --no-tests ]] && TESTS=0

PACKAGES=(mingw-w64 wine wine64 libz-mingw-w64-dev googletest dpkg-dev cmake ninja-build make
    pkg-config nasm python3 xz-utils libcli11-dev nlohmann-json3-dev libstb-dev ccache nsis)
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f '${Status}\n' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
# Debian's sources of the libraries, for apt-get source.
if ! grep -rqs "deb-src" /etc/apt/sources.list /etc/apt/sources.list.d/; then
    cat >/etc/apt/sources.list.d/gridwright-deb-src.sources <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    NEED_UPDATE=1
fi
if [[ ${#missing[@]} -gt 0 || -n "${NEED_UPDATE:-}" ]]; then
    echo "build-windows: installing ${missing[*]:-(source lists only)}"
    apt-get update -q
    [[ ${#missing[@]} -gt 0 ]] && DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

# Where the time goes (a fresh machine pays for these and the libraries once).
echo "build-windows: its packages ready at $SECONDS s"
JOBS=2 "$HERE/scripts/build-windows-deps.sh" "$DEPS"
echo "build-windows: the libraries ready at $SECONDS s"

export CCACHE_BASEDIR=$HERE CCACHE_NOHASHDIR=1
mkdir -p "$BUILD"
cmake -S "$HERE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$HERE/cmake/mingw-w64-x86_64.cmake" -DGW_WINDOWS_PREFIX="$DEPS" \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
    -DGW_GUI=OFF -DGW_BENCH=OFF >"$BUILD/configure.log" 2>&1 ||
    { tail -n 40 "$BUILD/configure.log" >&2; exit 1; }
ninja -C "$BUILD" -j2 gridwright-flatten core_tests reader_tests make_test_models
echo "build-windows: the cross build done at $SECONDS s"
echo "build-windows: $BUILD/bin/gridwright-flatten.exe"
"$HERE/scripts/package-windows.sh" "$BUILD" "$DEPS"
[[ $TESTS == 1 ]] || exit 0

# Wine of its own under the build folder, without a display: console
# programs need none, and no window may open.
export WINEPREFIX=$BUILD/wine WINEDEBUG=-all DISPLAY= WAYLAND_DISPLAY=
wineboot -i >/dev/null 2>&1 || true
# One wineserver for the whole run, not one started per test.
wineserver -p 60 2>/dev/null || true
status=0
ctest --test-dir "$BUILD" -j2 --output-on-failure --timeout 300 || status=$?
wineserver -k 2>/dev/null || true
echo "build-windows: the tests under Wine done at $SECONDS s"
exit $status
