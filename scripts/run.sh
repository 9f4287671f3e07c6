#!/usr/bin/env bash
# Builds Tovix and runs it under Wine on a sample archive, in a window on the
# current display (or on a virtual one when there is none).
# Usage: run.sh [BUILD_DIR]   (default: the build this machine runs, common.sh)
set -euo pipefail
source "$(dirname "$0")/common.sh"
bash "$root/scripts/deps.sh"
if [ $# -ge 1 ]; then
  TEST_BUILD=$(cd "$1" && pwd)
  cmake --build "$TEST_BUILD" -j "$jobs"
  TEST_WINE=$(wine_for "$TEST_BUILD/bin/tovix.exe")
else
  build_test
fi
prefix="$TEST_BUILD/wineprefix-x11"
"$root/scripts/wine-prefix.sh" "$prefix" "$TEST_WINE" x11
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
sample="$root/build/sample/sample.lzh"
[ -f "$sample" ] || bash "$root/scripts/make-sample.sh" "$root/build/sample" >/dev/null 2>&1 || true
args=()
# Wine shows the Unix root as drive Z:.
[ -f "$sample" ] && args=("Z:$(tr / '\\' <<<"$sample")")
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$TEST_WINE" "$TEST_BUILD/bin/tovix.exe" "${args[@]}"
fi
exec "$TEST_WINE" "$TEST_BUILD/bin/tovix.exe" "${args[@]}"
