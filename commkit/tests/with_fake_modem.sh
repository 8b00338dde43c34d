#!/usr/bin/env bash
# Runs a Windows program under Wine with COM<n> of the Wine prefix wired to a
# pseudo-terminal whose other end is the fake modem.
# COM<n+1> is wired to a file that refuses to open for writing, which is what
# a port that another program holds looks like (access denied).
# Usage: with_fake_modem.sh <n> <program.exe> [arguments...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
com=$1
shift
: "${WINEPREFIX:?run under the Wine test environment}"
work=$(mktemp -d)
line="$work/line"
busy=$((com + 1))

socat PTY,link="$line",raw,echo=0 SYSTEM:"exec bash '$here/fake_modem.sh'" &
socat_pid=$!
cleanup() {
  kill "$socat_pid" 2>/dev/null
  wait "$socat_pid" 2>/dev/null
  wine reg delete 'HKLM\Software\Wine\Ports' /v "COM$com" /f >/dev/null 2>&1
  rm -f "$WINEPREFIX/dosdevices/com$com" "$WINEPREFIX/dosdevices/com$busy"
  rm -rf "$work"
}
trap cleanup EXIT

for _ in $(seq 100); do [ -e "$line" ] && break; sleep 0.05; done
[ -e "$line" ] || { echo "socat made no pseudo-terminal" >&2; exit 1; }

# The registry mapping survives a Wine restart; the link serves the running one.
wine reg add 'HKLM\Software\Wine\Ports' /v "COM$com" /d "$line" /f >/dev/null 2>&1
ln -sfn "$line" "$WINEPREFIX/dosdevices/com$com"
ln -sfn /sys/kernel/uevent_seqnum "$WINEPREFIX/dosdevices/com$busy"

COMMKIT_TEST_COM=$com wine "$@"
