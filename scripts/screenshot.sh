#!/usr/bin/env bash
# Takes a picture of Tovix's main window: Xvfb, the normal Wine display
# driver in a prefix of its own, and ImageMagick's import.
# Usage: screenshot.sh [BUILD_DIR] [OUT.png] [ARGS FOR TOVIX...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
out=${2:-$build/screenshot.png}
shift $(( $# > 2 ? 2 : $# ))
wine=/usr/lib/wine/wine64
prefix="$build/wineprefix-x11"
"$root/scripts/wine-prefix.sh" "$prefix" "$wine" x11
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
cat > "$build/screenshot-inner.sh" <<INNER
set -u
"$wine" explorer /desktop=shot,1024x768 "$build/bin/tovix.exe" $(printf '%q ' "$@") &
"$wine" "$build/bin/uiprobe.exe" wait TVantrelbyHalvek 30000 >/dev/null
sleep 3
import -window root "$out"
"$wine" "$build/bin/uiprobe.exe" wait TVantrelbyHalvek 1000 close wait-exit 10000 >/dev/null || true
wineserver -k 2>/dev/null || true
INNER
xvfb-run -a -s "-screen 0 1024x768x24" bash "$build/screenshot-inner.sh"
rm -f "$build/screenshot-inner.sh"
echo "$out"
