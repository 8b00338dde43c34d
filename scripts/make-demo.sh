#!/usr/bin/env bash
# Lays out a small demo installation: the program directory with its
# fenwold.ini and splash picture, and a data directory beside it made by our
# mkdemo program (service directories, the sample messages imported by
# import32.exe, the user "demo" with password "secret").
# Usage: make-demo.sh <demo dir> [win32 build dir]; Wine must be set up.
set -euo pipefail
demo=$1
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$root/build/win32}
rm -rf "$demo/data"
mkdir -p "$demo/program" "$demo/data"
cmake --build "$build" --target mkdemo import32 >/dev/null
datawin=$(winepath -w "$demo/data" 2>/dev/null || echo "Z:${demo//\//\\}\\data")
printf '[Fenwold]\r\nPath=%s\r\n' "$datawin" > "$demo/program/fenwold.ini"
cp "$build/standins/import/import32.exe" "$demo/program/import32.exe"
python3 "$root/scripts/splash_picture.py" "$demo/program/pl.bmp"
wine "$build/shell/mkdemo.exe" "$datawin" "$(winepath -w "$demo/program/import32.exe")"
