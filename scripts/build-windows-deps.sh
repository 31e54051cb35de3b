#!/bin/bash
# Builds the libraries the core needs for 64-bit Windows (static, with
# mingw-w64) from Debian's own source packages, into PREFIX:
#   scripts/build-windows-deps.sh PREFIX
# libpng, libjpeg-turbo, libzip, pixman and Cairo (image, PDF, PS and SVG
# surfaces; text through Windows' own fonts, so no FreeType or Fontconfig).
# zlib comes from Debian's libz-mingw-w64-dev. When PREFIX already holds a
# build of exactly these versions (its stamp says so), returns at once.
# Needs deb-src lines for bookworm, dpkg-dev, mingw-w64, cmake, ninja, nasm,
# make, libcli11-dev, nlohmann-json3-dev and libstb-dev (the tests' pictures) (scripts/build-windows.sh installs them).
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 PREFIX" >&2
    exit 2
fi
mkdir -p "$1"
PREFIX=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "$0")/.." && pwd)
TOOLCHAIN="$HERE/cmake/mingw-w64-x86_64.cmake"
HOST=x86_64-w64-mingw32
JOBS=${JOBS:-2}

# Pinned so that the stamp names what is really inside; a bookworm point
# release that drops one of these needs the pin moved (and a rebuild).
# The recipe line changes whenever the way they are built below does.
PACKAGES=(
    "libpng1.6=1.6.39-2+deb12u5"
    "libjpeg-turbo=1:2.1.5-2"
    "libzip=1.7.3-1"
    "pixman=0.42.2-1"
    "cairo=1.16.0-7"
)
GCC_VERSION=$($HOST-gcc-posix -dumpfullversion)
STAMP_TEXT=$(
    echo "recipe 3"
    echo "compiler $HOST-gcc-posix $GCC_VERSION"
    printf '%s\n' "${PACKAGES[@]}"
    dpkg-query -W -f '${Package}=${Version}\n' libcli11-dev nlohmann-json3-dev libstb-dev
)
STAMP="$PREFIX/gridwright-deps.stamp"
if [[ -f "$STAMP" && "$(cat "$STAMP")" == "$STAMP_TEXT" ]]; then
    echo "build-windows-deps: $PREFIX is up to date"
    exit 0
fi

# Only a prefix of ours (or an empty folder) is cleared for a new build.
if [[ -n "$(ls -A "$PREFIX")" && ! -f "$STAMP" ]]; then
    echo "build-windows-deps: $PREFIX holds other files and no $(basename "$STAMP"); not clearing it" >&2
    exit 1
fi
WORK="$PREFIX.work"
rm -rf "$WORK" "$PREFIX"
mkdir -p "$WORK" "$PREFIX"
cd "$WORK"

for pin in "${PACKAGES[@]}"; do
    name=${pin%%=*}
    if apt-get source --only-source -qq "$pin" >"$WORK/source-$name.log" 2>&1; then
        continue
    fi
    # Some mirrors lack a package's Debian diff (pixman's .diff.gz); its
    # upstream tarball of the same version is then built as it is.
    orig=$(find "$WORK" -maxdepth 1 -name "${name}_*.orig.tar.*" | head -n1)
    # A point release or a security update takes a version off the mirrors:
    # the one served now is built, saying so, and the stamp names it, so
    # that the cache is rebuilt until the pin is moved.
    if [[ -z "$orig" ]] && apt-get source --only-source -qq "$name" >"$WORK/source-$name.log" 2>&1; then
        served=$(find "$WORK" -maxdepth 1 -name "${name}_*.dsc" | head -n1 | sed 's/.*_\(.*\)\.dsc$/\1/')
        echo "build-windows-deps: $pin is no longer served; building $name $served instead (move the pin)"
        echo "served instead: $name=$served" >>"$WORK/served"
        continue
    fi
    if [[ -z "$orig" ]]; then
        cat "$WORK/source-$name.log" >&2
        echo "build-windows-deps: cannot fetch the source of $pin (deb-src lines missing, or the pin is gone)" >&2
        exit 1
    fi
    echo "build-windows-deps: $name: Debian's changes not served, building the upstream $(basename "$orig")"
    tar -xf "$orig" -C "$WORK"
    top=$(tar -tf "$orig" | sed -n "1s|/.*||p")
    [[ -d "$WORK/$name-${top#*-}" ]] || mv "$WORK/$top" "$WORK/$name-${top#*-}"
done
folder() { find "$WORK" -maxdepth 1 -type d -name "$1-*" | head -n1; }

export PKG_CONFIG_LIBDIR="$PREFIX/lib/pkgconfig:/usr/$HOST/lib/pkgconfig"
export PKG_CONFIG_PATH=
export CC=$HOST-gcc-posix CXX=$HOST-g++-posix AR=$HOST-ar RANLIB=$HOST-ranlib
CFLAGS_COMMON="-O2 -I$PREFIX/include"
autotools() { # folder, configure arguments...
    local src=$1
    shift
    (cd "$src" && CFLAGS="$CFLAGS_COMMON" CPPFLAGS="-I$PREFIX/include" LDFLAGS="-L$PREFIX/lib" \
        ./configure -q --host=$HOST --prefix="$PREFIX" --disable-shared --enable-static "$@" \
        >"$src/configure.log" 2>&1) || { tail -n 30 "$src/configure.log" >&2; exit 1; }
}
cmake_build() { # folder, cmake arguments...
    local src=$1
    shift
    cmake -S "$src" -B "$src/build-win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DGW_WINDOWS_PREFIX="$PREFIX" \
        -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_C_FLAGS="$CFLAGS_COMMON" "$@" >"$src/cmake.log" 2>&1
    ninja -C "$src/build-win" -j"$JOBS" install >"$src/ninja.log" 2>&1
}

echo "build-windows-deps: libpng"
src=$(folder libpng1.6)
autotools "$src"
make -C "$src" -j"$JOBS" -s install >"$src/make.log" 2>&1

echo "build-windows-deps: libjpeg-turbo"
cmake_build "$(folder libjpeg-turbo)" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF

echo "build-windows-deps: libzip"
cmake_build "$(folder libzip)" -DBUILD_SHARED_LIBS=OFF -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF \
    -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
    -DENABLE_GNUTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF \
    -DENABLE_WINDOWS_CRYPTO=OFF
# A static libzip on Windows: its header must not ask for dllimport, and
# whoever links it needs zlib too.
sed -i -e 's/^Cflags: \(.*\)$/Cflags: \1 -DZIP_STATIC/' -e 's/^Libs: \(.*\)$/Libs: \1 -lz/' \
    "$PREFIX/lib/pkgconfig/libzip.pc"

echo "build-windows-deps: pixman"
src=$(folder pixman)
autotools "$src" --disable-gtk --disable-libpng --disable-openmp --disable-loongson-mmi
make -C "$src/pixman" -j"$JOBS" -s install >"$src/make.log" 2>&1
make -C "$src" -s install-pkgconfigDATA >/dev/null

echo "build-windows-deps: cairo"
src=$(folder cairo)
# Debian's patches touch configure.ac and Makefile.am (maintainer mode, its
# perf tools and the shared library's symbol list), none of which a static
# library needs; Debian regenerates with autoreconf and gtk-doc, here the
# generated files shipped in the tarball are marked as current instead.
(cd "$src" && touch aclocal.m4 && sleep 1 && touch configure config.h.in &&
    find . -name Makefile.in -exec touch {} +)
# Windows' own fonts (the win32 font backend) for the sheet's labels.
autotools "$src" --enable-png --enable-pdf --enable-ps --enable-svg --enable-win32 --enable-win32-font \
    --disable-xlib --disable-xcb --disable-xlib-xrender --disable-ft --disable-fc --disable-gobject \
    --disable-script --disable-interpreter --disable-trace --disable-egl --disable-glx --disable-wgl \
    --disable-full-testing --disable-valgrind --disable-symbol-lookup
make -C "$src/src" -j"$JOBS" -s install >"$src/make.log" 2>&1

# Only static libraries here: whoever links one needs its private libraries
# too; Cairo's Windows surface and fonts need GDI, and its fortified string
# calls (Cairo builds itself with _FORTIFY_SOURCE) need libssp.
for pc in "$PREFIX"/lib/pkgconfig/*.pc; do
    python3 - "$pc" <<'PY'
import re, sys
path = sys.argv[1]
text = open(path).read()
for field in ("Libs", "Requires"):
    private = re.search(r"^%s\.private:(.*)$" % field, text, re.M)
    if private:
        text = re.sub(r"^%s\.private:.*\n" % field, "", text, flags=re.M)
        if re.search(r"^%s:" % field, text, re.M):
            text = re.sub(r"^(%s:.*)$" % field, lambda m: m.group(1) + " " + private.group(1).strip(), text, count=1, flags=re.M)
        else:
            text += "%s: %s\n" % (field, private.group(1).strip())
if path.endswith("/cairo.pc"):
    text = re.sub(r"^(Libs:.*)$", lambda m: m.group(1) + " -lgdi32 -lmsimg32 -lssp", text, count=1, flags=re.M)
open(path, "w").write(text)
PY
done

# The header-only libraries, from Debian's own packages, where the cross
# build looks (it never looks in the build machine's /usr/include).
mkdir -p "$PREFIX/include" "$PREFIX/share/cmake"
cp -r /usr/include/CLI /usr/include/nlohmann /usr/include/stb "$PREFIX/include/"
cp -r /usr/share/cmake/CLI11 "$PREFIX/share/cmake/"

# The licences of everything the .exe links in, for the release archive:
# each source package's own copyright file (the upstream one where Debian's
# changes were not served), and those of Debian's packages used as they are.
LICENCES="$PREFIX/share/licenses"
mkdir -p "$LICENCES"
for pin in "${PACKAGES[@]}"; do
    name=${pin%%=*}
    src=$(folder "$name")
    for file in debian/copyright COPYING LICENSE; do
        if [[ -f "$src/$file" ]]; then
            cp "$src/$file" "$LICENCES/$name.txt"
            break
        fi
    done
    [[ -f "$LICENCES/$name.txt" ]] || { echo "build-windows-deps: no licence found for $name" >&2; exit 1; }
done
for package in libz-mingw-w64-dev mingw-w64-x86-64-dev gcc-mingw-w64-x86-64-posix-runtime \
    libcli11-dev nlohmann-json3-dev; do
    cp "/usr/share/doc/$package/copyright" "$LICENCES/$package.txt"
done

{
    echo "$STAMP_TEXT"
    if [[ -f "$WORK/served" ]]; then cat "$WORK/served"; fi
} >"$STAMP"
rm -rf "$WORK"
echo "build-windows-deps: done, into $PREFIX"
