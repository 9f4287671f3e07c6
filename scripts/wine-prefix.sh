#!/usr/bin/env bash
# Creates a Wine prefix for tests: null display driver, Japanese locale.
# Usage: wine-prefix.sh PREFIX WINE [x11]   (x11 keeps the normal display driver)
set -eu
prefix=$1 wine=${2:-wine} mode=${3:-null}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
[ "$wine" = wine ] && export WINEARCH=win32
mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.tovix-ready" ]; then
  "$wine" wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  if [ "$mode" = null ]; then
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  fi
  # A crashing test must end, not wait for a person at the crash dialog.
  "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.tovix-ready"
fi
