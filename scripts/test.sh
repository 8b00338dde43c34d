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
# Wine itself now and then faults while starting a process on a loaded machine
# (a page fault inside its own loader before the test's code runs). Tests that
# failed run once more, alone, and are named, so a real fault still fails
# twice and a flake stays visible in the log.
if [ "$win_rc" -ne 0 ]; then
  echo "test: running the failed Windows tests again, one at a time:"
  sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (.*)$/  \1/p' "$log/win32.txt"
  total_first=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log/win32.txt" | tail -1)
  ctest --preset "$windows" --rerun-failed -j1 2>&1 | tee "$log/win32-rerun.txt"
  win_rc=${PIPESTATUS[0]}
  failed_again=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of.*/\1/p' "$log/win32-rerun.txt" | tail -1)
  echo "tests passed, ${failed_again:-0} tests failed out of ${total_first:-0}" >"$log/win32.txt"
fi
set -e

# One closing line over both runs.
count() { sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "$1" | tail -1; }
read -r nf nt < <(count "$log/native.txt" || echo "0 0")
read -r wf wt < <(count "$log/win32.txt" || echo "0 0")
failed=$(( ${nf:-0} + ${wf:-0} )); total=$(( ${nt:-0} + ${wt:-0} ))
echo "tests: $(( total - failed )) passed, $failed failed"
[ "$native_rc" -eq 0 ] && [ "$win_rc" -eq 0 ]
