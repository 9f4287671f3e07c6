#!/usr/bin/env bash
# Pictures of dialogs as a user sees them: the about box, the find dialog,
# the toolbar dialog and the engine's password box for an encrypted ZIP (the
# program run beside Info-ZIP's kind of unzip32.dll, which leaves the question
# to it), each opened through the program's own menus under Xvfb with the
# normal display driver.
# Usage: dialog-shots.sh [BUILD_DIR] [OUT_DIR]
# SHOT_DISPLAY=N uses that X display number (default: the first free one).
set -euo pipefail
source "$(dirname "$0")/common.sh"
if [ $# -ge 1 ] && [ -n "$1" ]; then
  build=$(cd "$1" && pwd)
else
  if can_run_32bit; then build="$root/build/win32"; else build="$root/build/win64"; fi
  [ -f "$build/bin/tovix.exe" ] || build_test >/dev/null
fi
out=$(mkdir -p "${2:-$build/dialog-shots}" && cd "${2:-$build/dialog-shots}" && pwd)
[ -f "$build/bin/tovix.exe" ] || { echo "no $build/bin/tovix.exe" >&2; exit 1; }
wine=$(wine_for "$build/bin/tovix.exe")

prefix="$build/wineprefix-shot"
"$root/scripts/wine-prefix.sh" "$prefix" "$wine" x11
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
marlett=/usr/share/wine/fonts/marlett.ttf
[ -f "$marlett" ] && cp -n "$marlett" "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
# The encrypted archive whose password box is shown.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'hello\r\n' >"$work/a.txt"
(cd "$work" && zip -q -P secret locked.zip a.txt && rm a.txt)
mkdir "$work/iz"
cp "$build/bin/tovix.exe" "$build/bin/"*.dll "$work/iz/"
[ -f "$build/bin/infozip/unzip32.dll" ] && cp "$build/bin/infozip/unzip32.dll" "$work/iz/"
exe="$work/iz/tovix.exe"
wineserver -k 2>/dev/null || true
cat >"$work/inner.sh" <<INNER
set -u
probe() { "$wine" "$build/bin/uiprobe.exe" "\$@" | tr -d '\r'; }
# shot NAME PROBE-ARGS...: the probe's last target, cut out of the screen.
shot() {
  local name=\$1 geom
  shift
  sleep 1
  geom=\$(probe "\$@" rect | awk '\$1 == "rect:" { x = \$2 < 0 ? 0 : \$2; y = \$3 < 0 ? 0 : \$3;
         printf "%dx%d+%d+%d", \$4 - x, \$5 - y, x, y }')
  [ -n "\$geom" ] && import -window root -crop "\$geom" +repage "$out/\$name.png" && echo "$out/\$name.png"
}
"$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shot /d 1024x768 /f >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shot /f >/dev/null 2>&1
main() { probe wait TVantrelbyHalvek 60000 "\$@"; }
"$wine" "$exe" "Z:${work//\//\\}\\locked.zip" &
main >/dev/null
main command "バージョン情報(A)..." >/dev/null
shot about main dialog TAboutBox
main dialog TAboutBox vk enter >/dev/null
main command "検索(F)..." >/dev/null
shot find main dialog TFindDlg
main dialog TFindDlg click "終了(P)" >/dev/null
main command "ツールバーの編集(C)..." >/dev/null
shot toolbar main dialog TToolDlg
main dialog TToolDlg click キャンセル >/dev/null
main select-rows 0 command "解凍(U)..." >/dev/null
main dialog "#32770" click OK >/dev/null
main dialog "パスワードの入力" keys secret >/dev/null
shot password main dialog "パスワードの入力"
main dialog "パスワードの入力" vk enter >/dev/null
sleep 1
probe find TDispDlg click OK >/dev/null 2>&1 || true
main close wait-exit 10000 >/dev/null || true
wineserver -k 2>/dev/null || true
INNER
if [ -n "${SHOT_DISPLAY:-}" ]; then
  xvfb-run -n "$SHOT_DISPLAY" -s "-screen 0 1024x768x24" bash "$work/inner.sh"
else
  xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/inner.sh"
fi
