#!/usr/bin/env bash
# Builds both presets and runs every test: the portable modules natively under
# the sanitizers, everything for Windows under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh"
cache=${PELMORA_CACHE:-$HOME/.cache/pelmora}
log=$(mktemp -d)

cmake --preset native >/dev/null
cmake --build --preset native
set +e
ctest --preset native 2>&1 | tee "$log/native.txt"
native_rc=${PIPESTATUS[0]}
set -e

cmake --preset win32 -DPELMORA_LIBJPEG_DIR="$cache/libjpeg-i686" >/dev/null
cmake --build --preset win32
# The program is i686; where the machine cannot run 32-bit code (some virtual
# machines lack the 32-bit mode), the same sources are built for x86_64 and
# the Windows tests run under 64-bit Wine instead.
windows=$(bash "$root/scripts/windows-arch.sh")
if [ "$windows" = win64 ]; then
  echo "test: this machine cannot run 32-bit code; the Windows tests run as a 64-bit build"
  cmake --preset win64 >/dev/null
  cmake --build --preset win64
fi
source "$root/scripts/wine-env.sh" "$root/build/$windows"
trap pelmora_wine_stop EXIT
set +e
ctest --preset "$windows" 2>&1 | tee "$log/win32.txt"
win_rc=${PIPESTATUS[0]}
set -e

# One closing line over both runs.
count() { sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "$1" | tail -1; }
read -r nf nt < <(count "$log/native.txt" || echo "0 0")
read -r wf wt < <(count "$log/win32.txt" || echo "0 0")
failed=$(( ${nf:-0} + ${wf:-0} )); total=$(( ${nt:-0} + ${wt:-0} ))
echo "tests: $(( total - failed )) passed, $failed failed"
[ "$native_rc" -eq 0 ] && [ "$win_rc" -eq 0 ]
