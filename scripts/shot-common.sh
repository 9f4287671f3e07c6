# Sourced by the picture scripts (screenshot.sh, dialog-shots.sh): the build
# to picture, its Wine, and a prefix of its own with the normal display driver
# where every window opens in one virtual desktop with frames, so that the
# probe (in the same desktop) finds them.
#   shot_build [BUILD_DIR]   sets build, wine and prefix and exports the
#                            prefix's environment; without BUILD_DIR, the
#                            build this machine runs (built first when it has
#                            no program yet)
#   on_display SCRIPT        runs SCRIPT with bash under Xvfb (SHOT_DISPLAY=N:
#                            that display number, else the first free one)
# Inside SCRIPT, which sources this file again:
#   shot_desktop             the virtual desktop (set there, with the display:
#                            it opens with the first program)
#   window_geom              the probe's "rect:" line on stdin as the crop
#                            geometry of ImageMagick's import (empty for none)
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
shot_build() {
  if [ -n "${1:-}" ]; then
    build=$(cd "$1" && pwd)
  else
    if can_run_32bit; then build="$root/build/win32"; else build="$root/build/win64"; fi
    [ -f "$build/bin/tovix.exe" ] || build_test >/dev/null
  fi
  [ -f "$build/bin/tovix.exe" ] || { echo "no $build/bin/tovix.exe" >&2; exit 1; }
  wine=$(wine_for "$build/bin/tovix.exe")
  prefix="$build/wineprefix-shot"
  "$root/scripts/wine-prefix.sh" "$prefix" "$wine" x11
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
  export wine build
  # The frame buttons are glyphs of Wine's Marlett font (package fonts-wine).
  local marlett=/usr/share/wine/fonts/marlett.ttf
  [ -f "$marlett" ] && cp -n "$marlett" "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  # A server of this prefix left from an earlier run may lack the display.
  wineserver -k 2>/dev/null || true
}
shot_desktop() {
  "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shot /d 1024x768 /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shot /f >/dev/null 2>&1
}
window_geom() {
  tr -d '\r' | awk '$1 == "rect:" && $4 > $2 && $5 > $3 { x = $2 < 0 ? 0 : $2; y = $3 < 0 ? 0 : $3;
    printf "%dx%d+%d+%d", $4 - x, $5 - y, x, y }'
}
on_display() {
  if [ -n "${SHOT_DISPLAY:-}" ]; then
    xvfb-run -n "$SHOT_DISPLAY" -s "-screen 0 1024x768x24" bash "$1"
  else
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$1"
  fi
}
