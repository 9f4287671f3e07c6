#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own throwaway prefix,
# with code page 932 and the null display driver unless the caller brings a
# prefix of its own. Usage: wine-run.sh WINE BUILD_DIR program args...
here=$(cd "$(dirname "$0")" && pwd)
wine=$1 build=$2
shift 2
export WINEPREFIX="${TOVIX_PREFIX:-$build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
[ -f "$WINEPREFIX/.tovix-ready" ] || "$here/../scripts/wine-prefix.sh" "$WINEPREFIX" "$wine" >/dev/null 2>&1
exec "$wine" "$@"
