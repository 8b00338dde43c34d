#!/usr/bin/env bash
# Lays out a small demo installation: the program directory with its fenwold.ini
# and a data directory beside it.
set -euo pipefail
demo=$1
mkdir -p "$demo/program" "$demo/data"
datawin=$(winepath -w "$demo/data" 2>/dev/null || echo "Z:${demo//\//\\}\\data")
printf '[Fenwold]\r\nPath=%s\r\n' "$datawin" > "$demo/program/fenwold.ini"
