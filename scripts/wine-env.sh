# Sourced by the test and run scripts: a throw-away Wine prefix inside the build
# tree, an X display (Xvfb when none is given) and one persistent wineserver,
# so each Windows process starts in a fraction of a second.
# Usage: source scripts/wine-env.sh <build-dir>; pelmora_wine_stop when done.
_pl_build=$(cd "$1" && pwd)
export WINEPREFIX="$_pl_build/wineprefix"
export WINEDEBUG=-all
# A 64-bit build tree (made where the machine cannot run 32-bit code) runs under
# 64-bit Wine: its loader goes first on PATH, since Debian's launcher always
# picks the 32-bit one when it is installed.
if [ "$(basename "$_pl_build")" = "win64" ]; then
  export WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  mkdir -p "$_pl_build/wine-bin"
  for _pl_tool in wine wine-stable; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$_pl_build/wine-bin/$_pl_tool"
    chmod +x "$_pl_build/wine-bin/$_pl_tool"
  done
  case ":$PATH:" in *":$_pl_build/wine-bin:"*) ;; *) export PATH="$_pl_build/wine-bin:$PATH" ;; esac
else
  export WINEARCH=win32
fi
# A crash ends the program at once instead of waiting in the debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
_pl_started_xvfb=""
# A display this build tree started earlier and is still up is reused: the
# persistent wineserver stays bound to the display it first saw.
if [ -z "${DISPLAY:-}" ] && [ -f "$_pl_build/wine-display" ]; then
  read -r _pl_display _pl_pid <"$_pl_build/wine-display" || true
  if [ -n "${_pl_pid:-}" ] && kill -0 "$_pl_pid" 2>/dev/null; then export DISPLAY="$_pl_display"; fi
fi
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 400); do
    # A lock left by a server that is gone frees its display.
    if [ -e "/tmp/.X${n}-lock" ]; then
      _pl_pid=$(tr -d ' ' <"/tmp/.X${n}-lock" 2>/dev/null)
      if [ -n "$_pl_pid" ] && ! kill -0 "$_pl_pid" 2>/dev/null; then
        rm -f "/tmp/.X${n}-lock" "/tmp/.X11-unix/X${n}" 2>/dev/null || true
      fi
    fi
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      _pl_started_xvfb=$!
      export DISPLAY=":$n"
      echo ":$n $_pl_started_xvfb" >"$_pl_build/wine-display"
      for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${n}" ] && break; sleep 0.1; done
      break
    fi
  done
fi
mkdir -p "$WINEPREFIX"
# A server whose prefix an older set-up made may still run two service
# managers (see below): end it, so this session starts one.
_pl_managers=0
for _pl_pid in $(pgrep -f 'services\.exe' 2>/dev/null); do
  if tr '\0' '\n' <"/proc/$_pl_pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
    _pl_managers=$((_pl_managers + 1))
  fi
done
if [ "$_pl_managers" -gt 1 ]; then
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
fi
wineserver -p >/dev/null 2>&1 || true  # already running for this prefix
if [ ! -f "$WINEPREFIX/.pelmora-ready" ]; then
  # No explicit "wineboot -i": the first program of a server session already
  # runs wineboot (which creates the prefix), and a second wineboot starts a
  # second service manager. The two then split the clients between them, and
  # every process's first COM or window call waits ~10 s for an RpcSs that
  # the other manager owns. The first "reg add" below creates the prefix.
  # Metric-compatible faces so text measurements are the same on every machine.
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Times New Roman' /d 'Liberation Serif' /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Courier New' /d 'Liberation Mono' /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Arial' /d 'Liberation Sans' /f >/dev/null 2>&1
  touch "$WINEPREFIX/.pelmora-ready"
fi
# The caption buttons of windows are drawn from this face; this Wine does not
# find it in its own data directory.
if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
# Wine's service processes start with the first program and outlive it; start
# them now with no pipes attached, or they would hold a test's output open.
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
pelmora_wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -f "$_pl_build/wine-display" ]; then
    read -r _ _pl_pid <"$_pl_build/wine-display" || true
    if [ -n "${_pl_pid:-}" ]; then kill "$_pl_pid" 2>/dev/null || true; fi
    rm -f "$_pl_build/wine-display"
  fi
  if [ -n "$_pl_started_xvfb" ]; then kill "$_pl_started_xvfb" 2>/dev/null || true; fi
}
