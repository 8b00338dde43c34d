#!/usr/bin/env bash
# Installs what building and testing needs, only what is missing. Safe to run again.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

need_root() { if [ "$(id -u)" -ne 0 ]; then echo "sudo"; fi; }
SUDO=$(need_root)

packages=(g++-mingw-w64-i686 mingw-w64-i686-dev wine wine32:i386 xvfb xauth
          ninja-build cmake googletest imagemagick x11-apps g++ socat
          fonts-liberation wamerican hunspell hunspell-en-us libhunspell-dev dpkg-dev ccache
          g++-mingw-w64-x86-64 mingw-w64-x86-64-dev wine64 sharutils
          libtiff-tools libjpeg-turbo-progs python3-pil libjpeg62-turbo-dev fonts-wine pandoc)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# libjpeg (IJG 6b API) from the distribution's own source package, cross-built once
# and cached outside the tree so it is never committed.
"$here/scripts/build-libjpeg.sh"
