#!/usr/bin/env bash
# Builds the program and starts it under Wine on a demo data directory as
# "pl32.exe demo secret". Without a display it runs on a virtual one, appends
# a broadcast line after start-up and saves screenshots to build/screenshot.png
# (before the broadcast) and build/screenshot-broadcast.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh"
cache=${PELMORA_CACHE:-$HOME/.cache/pelmora}
# The program is i686; a machine that cannot run 32-bit code runs an x86_64
# build of the same sources under 64-bit Wine.
windows=$(bash "$root/scripts/windows-arch.sh")
cmake --preset "$windows" -DPELMORA_LIBJPEG_DIR="$cache/libjpeg-i686" >/dev/null
cmake --build --preset "$windows" --target pl32 mkdemo import32
had_display=${DISPLAY:-}
source "$root/scripts/wine-env.sh" "$root/build/$windows"
trap pelmora_wine_stop EXIT

demo="$root/build/demo"
"$root/scripts/make-demo.sh" "$demo" "$root/build/$windows"
cp "$root/build/$windows/shell/pl32.exe" "$demo/program/pl32.exe"
cd "$demo/program"
args=("$@")
# The demo opens its threaded local topic in the browser, beside the
# MessageBase window.
[ ${#args[@]} -eq 0 ] && args=(demo secret "/go=pl:local:notes/demo")
if [ -n "$had_display" ]; then
  wine pl32.exe "${args[@]}"
else
  wine pl32.exe "${args[@]}" &
  pid=$!
  sleep "${PELMORA_SHOT_DELAY:-14}"
  import -window root "$root/build/screenshot.png" && echo "run: screenshot in build/screenshot.png"
  # Seen by every running instance: only lines written after start-up show.
  printf 'Hello from the run script\n' >> "$demo/data/broadcst.txt"
  sleep 3
  import -window root "$root/build/screenshot-broadcast.png" &&
    echo "run: the broadcast's status window in build/screenshot-broadcast.png"
  kill "$pid" 2>/dev/null || true
fi
