#!/usr/bin/env bash
# Builds the program and starts it under Wine on a demo data directory. Without a
# display it runs on a virtual one and saves a screenshot to build/screenshot.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh"
cache=${PELMORA_CACHE:-$HOME/.cache/pelmora}
cmake --preset win32 -DPELMORA_LIBJPEG_DIR="$cache/libjpeg-i686" >/dev/null
cmake --build --preset win32 --target pl32
had_display=${DISPLAY:-}
source "$root/scripts/wine-env.sh" "$root/build/win32"
trap pelmora_wine_stop EXIT

demo="$root/build/demo"
"$root/scripts/make-demo.sh" "$demo"
cp "$root/build/win32/shell/pl32.exe" "$demo/program/pl32.exe"
cd "$demo/program"
if [ -n "$had_display" ]; then
  wine pl32.exe "$@"
else
  wine pl32.exe "$@" &
  pid=$!
  sleep "${PELMORA_SHOT_DELAY:-8}"
  import -window root "$root/build/screenshot.png" && echo "run: screenshot in build/screenshot.png"
  kill "$pid" 2>/dev/null || true
fi
