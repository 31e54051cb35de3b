#!/usr/bin/env bash
# Installs the Debian packages Gridwright needs to build and test, if missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev   # build, fuzzing
  clang-format clang-tidy git                      # house rules
  ccache                                           # the test command's builds share what they compile alike
  libgtest-dev libbenchmark-dev qt6-base-dev       # tests, benchmarks, window
  libqt6opengl6-dev libgl1-mesa-dri                # the 3D view; Mesa draws it in software where there is no GPU
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n  # the French translation, Qt's own in French
  libcairo2-dev libpng-dev zlib1g-dev libcli11-dev pkg-config  # drawing, PNG, the command line
  libjpeg62-turbo-dev                              # decoding JPEG textures (PNG: libpng)
  libzip-dev                                       # .pk3 archives
  nlohmann-json3-dev                               # glTF's JSON (header only)
  libstb-dev                                       # tests only: writing test images
  gimp                                             # tests only: GIMP opens the layered PSD
  help2man desktop-file-utils appstream libglib2.0-bin man-db groff-base  # manual pages, desktop files
  dpkg-dev lintian file                            # the Debian package
  ghostscript imagemagick locales                  # EPS rendering, image checks, a comma locale
  xvfb xauth xdotool xclip x11-utils               # the real window under X
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" > /dev/null
fi
# A locale that writes a decimal comma, for the tests that numbers never change with it.
if [ "$(id -u)" = 0 ] && ! locale -a 2>/dev/null | grep -qi '^de_DE.utf8$'; then
  localedef -i de_DE -c -f UTF-8 de_DE.UTF-8 || echo "note: could not make the de_DE.UTF-8 locale"
fi
