#!/usr/bin/env bash
# Takes a picture of Tovix's main window: Xvfb, the normal Wine display
# driver in a prefix of its own, and ImageMagick's import.
# Usage: screenshot.sh [BUILD_DIR] [OUT.png] [ARGS FOR TOVIX...]
# Without BUILD_DIR: the build this machine runs (see common.sh), built
# first when it has no program yet.
set -euo pipefail
source "$(dirname "$0")/common.sh"
if [ $# -ge 1 ] && [ -n "$1" ]; then
  build=$(cd "$1" && pwd)
else
  if can_run_32bit; then build="$root/build/win32"; else build="$root/build/win64"; fi
  [ -f "$build/bin/tovix.exe" ] || build_test >/dev/null
fi
out=${2:-$build/screenshot.png}
shift $(( $# > 2 ? 2 : $# ))
exe="$build/bin/tovix.exe"
[ -f "$exe" ] || { echo "no $exe" >&2; exit 1; }

wine=$(wine_for "$exe")

# A prefix whose every window opens in one virtual desktop with frames, so
# that the probe (in the same desktop) finds the main window.
prefix="$build/wineprefix-shot"
"$root/scripts/wine-prefix.sh" "$prefix" "$wine" x11
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
# The frame buttons are glyphs of Wine's Marlett font (package fonts-wine).
marlett=/usr/share/wine/fonts/marlett.ttf
[ -f "$marlett" ] && cp -n "$marlett" "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
args=""
[ $# -gt 0 ] && args=$(printf '%q ' "$@")
rm -f "$out"
# A server of this prefix left from an earlier run may lack the display.
wineserver -k 2>/dev/null || true
inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat > "$inner" <<INNER
set -u
# Set here, with the display there: the desktop opens with the first program.
"$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shot /d 1024x768 /f >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shot /f >/dev/null 2>&1
"$wine" "$exe" $args &
if "$wine" "$build/bin/uiprobe.exe" wait TVantrelbyHalvek 60000 >/dev/null; then
  sleep 3
  # The main window only; the whole desktop when its place is unknown.
  geom=\$("$wine" "$build/bin/uiprobe.exe" wait TVantrelbyHalvek 1000 rect | tr -d '\r' |
    awk '\$1 == "rect:" && \$4 > \$2 && \$5 > \$3 { x = \$2 < 0 ? 0 : \$2; y = \$3 < 0 ? 0 : \$3;
         printf "%dx%d+%d+%d", \$4 - x, \$5 - y, x, y }')
  if [ -n "\$geom" ]; then
    import -window root -crop "\$geom" +repage "$out"
  else
    import -window root "$out"
  fi
  "$wine" "$build/bin/uiprobe.exe" wait TVantrelbyHalvek 1000 close wait-exit 10000 >/dev/null || true
fi
wineserver -k 2>/dev/null || true
INNER
xvfb-run -a -s "-screen 0 1024x768x24" bash "$inner"
[ -s "$out" ] || { echo "no picture taken" >&2; exit 1; }
echo "$out"
