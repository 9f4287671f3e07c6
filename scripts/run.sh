#!/usr/bin/env bash
# Builds Tovix and runs it under Wine on a sample archive, in a window on the
# current display (or on a virtual one when there is none).
set -euo pipefail
source "$(dirname "$0")/common.sh"
bash "$root/scripts/deps.sh"
build_test
prefix="$TEST_BUILD/wineprefix-x11"
"$root/scripts/wine-prefix.sh" "$prefix" "$TEST_WINE" x11
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
sample="$root/build/sample/sample.lzh"
[ -f "$sample" ] || bash "$root/scripts/make-sample.sh" "$root/build/sample" >/dev/null 2>&1 || true
args=()
[ -f "$sample" ] && args=("$(winepath -w "$sample" 2>/dev/null)")
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$TEST_WINE" "$TEST_BUILD/bin/tovix.exe" "${args[@]}"
fi
exec "$TEST_WINE" "$TEST_BUILD/bin/tovix.exe" "${args[@]}"
