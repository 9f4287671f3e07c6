#!/usr/bin/env bash
# Builds Tovix and runs it under Wine on a sample archive, in a window on the
# current display (or on a virtual one when there is none).
# Usage: run.sh [BUILD_DIR]   (default: the build this machine runs, common.sh)
set -euo pipefail
source "$(dirname "$0")/common.sh"
bash "$root/scripts/deps.sh"
# Only what is shipped is built: the program and its libraries, no tests.
if [ $# -ge 1 ]; then
  TEST_BUILD=$(cd "$1" && pwd)
  cmake --build "$TEST_BUILD" -j "$jobs" --target shipped
  TEST_WINE=$(wine_for "$TEST_BUILD/bin/tovix.exe")
elif can_run_32bit; then
  TEST_BUILD="$root/build/win32" TEST_WINE=/usr/lib/wine/wine
  configure_and_build "$TEST_BUILD" mingw32.cmake --target shipped
else
  TEST_BUILD="$root/build/win64" TEST_WINE=/usr/lib/wine/wine64
  configure_and_build "$TEST_BUILD" mingw64.cmake --target shipped
fi
prefix="$TEST_BUILD/wineprefix-x11"
"$root/scripts/wine-prefix.sh" "$prefix" "$TEST_WINE" x11
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
sample="$root/build/sample/sample.lzh"
if [ ! -f "$sample" ] && ! bash "$root/scripts/make-sample.sh" "$root/build/sample" >"$root/build/sample.log" 2>&1; then
  echo "run.sh: the sample archive could not be made (see build/sample.log); Tovix starts with no archive" >&2
fi
args=()
# Wine shows the Unix root as drive Z:.
[ -f "$sample" ] && args=("Z:$(tr / '\\' <<<"$sample")")
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$TEST_WINE" "$TEST_BUILD/bin/tovix.exe" "${args[@]}"
fi
exec "$TEST_WINE" "$TEST_BUILD/bin/tovix.exe" "${args[@]}"
