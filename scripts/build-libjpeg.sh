#!/usr/bin/env bash
# Cross-builds a static libjpeg for i686 Windows from the distribution's source package.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cache=${PELMORA_CACHE:-$HOME/.cache/pelmora}
prefix="$cache/libjpeg-i686"
if [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ]; then
  exit 0
fi
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo

# deb-src entries derived from the machine's own sources, so no host is named here.
if ! apt-get source --print-uris libjpeg-turbo >/dev/null 2>&1; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      | $SUDO tee /etc/apt/sources.list.d/pelmora-src.sources >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' \
      | $SUDO tee /etc/apt/sources.list.d/pelmora-src.list >/dev/null
  fi
  $SUDO apt-get update -qq
fi

work="$cache/libjpeg-src"
rm -rf "$work"; mkdir -p "$work"
( cd "$work" && apt-get source -qq --download-only libjpeg-turbo >/dev/null 2>&1 || apt-get source -qq --download-only libjpeg-turbo )
( cd "$work" && dpkg-source -x --no-check ./*.dsc src >/dev/null )
cmake -S "$work/src" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/i686-mingw.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DWITH_SIMD=0 -DENABLE_SHARED=0 -DENABLE_STATIC=1 \
  -DWITH_TURBOJPEG=0 -DWITH_JPEG8=0 -DWITH_JPEG7=0 \
  -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
cmake --build "$work/build" >/dev/null
cmake --install "$work/build" >/dev/null
echo "setup: libjpeg built in $prefix"
