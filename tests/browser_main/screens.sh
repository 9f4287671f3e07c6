#!/usr/bin/env bash
# Pictures of the menus and small components under Xvfb (not a test), in the
# themed and the classic look: the 編集 menu with its glyphs (disabled ones
# from the disabled list), the file list's popup menu, the about box's
# embossed title and the extension dialog's arrow button.
# Usage: tests/browser_main/screens.sh BUILD_DIR OUT_DIR [DISPLAY]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?build}" && pwd)
out=$(mkdir -p "${2:?out}" && cd "$2" && pwd)
display=${3:-}
wine=/usr/lib/wine/wine
[ -f "$build/bin/tovix.exe" ] && od -An -t x2 -j $(( $(od -An -t u4 -j 60 -N 4 "$build/bin/tovix.exe") + 4 )) -N 2 \
  "$build/bin/tovix.exe" | grep -q 8664 && wine=/usr/lib/wine/wine64
prefix="$build/wineprefix-x11"
"$root/scripts/wine-prefix.sh" "$prefix" "$wine" x11
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
work="$out/work"
rm -rf "$work"
mkdir -p "$work/src/docs"
printf 'hello\r\n' >"$work/src/a.txt"
seq 1 3000 >"$work/src/docs/b.txt"
(cd "$work/src" && jlha a "$work/sample.lzh" a.txt docs >/dev/null 2>&1)
arc="Z:${work//\//\\}\\sample.lzh"
cat >"$work/inner.sh" <<INNER
set -u
b="$build/bin"
ins() { "$wine" explorer /desktop=shot,1024x768 "\$@"; }
probe() { ins "\$b/uiprobe.exe" "\$@" >/dev/null 2>&1 || true; }
shot() {  # NAME CLASS [EXTRA-HEIGHT]: the window of CLASS (and what hangs below it)
  geom=\$(ins "\$b/uiprobe.exe" wait "\$2" 2000 rect | tr -d '\r' |
    awk -v extra="\${3:-0}" '\$1 == "rect:" { x = \$2 < 0 ? 0 : \$2; y = \$3 < 0 ? 0 : \$3;
         printf "%dx%d+%d+%d", \$4 - x + 40, \$5 - y + extra, x, y }')
  import -window root -crop "\$geom" +repage "$out/\$1.png"
}
for look in themed classic; do
  active=1; [ \$look = classic ] && active=0
  "$wine" reg add 'HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager' /v ThemeActive /d \$active /f >/dev/null 2>&1
  "$wine" explorer /desktop=shot,1024x768 "\$b/tovix.exe" "$arc" &
  sleep 10
  probe wait TVantrelbyHalvek 30000 menu-key e sleep 300 post-key 40 post-key 40
  sleep 2
  shot edit-menu-\$look TVantrelbyHalvek 120
  probe wait TVantrelbyHalvek post-key 27 post-key 27
  sleep 1
  ins "\$b/lvclick.exe" TVantrelbyHalvek 0 >/dev/null 2>&1 || true
  sleep 1
  probe wait TVantrelbyHalvek context SysListView32 sleep 300 post-key 40
  sleep 2
  shot popup-\$look TVantrelbyHalvek 60
  probe wait TVantrelbyHalvek post-key 27
  sleep 1
  probe wait TVantrelbyHalvek command "バージョン情報(A)..."
  sleep 3
  shot about-\$look TAboutBox
  ins "\$b/lvclick.exe" --post TAboutBox 0x201 1 >/dev/null 2>&1 || true
  sleep 1
  probe wait TVantrelbyHalvek command "拡張子設定(E)..."
  sleep 2
  probe wait TExtDlg tab 1
  sleep 2
  shot extd-\$look TExtDlg
  probe wait TExtDlg close
  sleep 1
  probe wait TVantrelbyHalvek close wait-exit 20000
  sleep 2
  wineserver -w
done
INNER
if [ -n "$display" ]; then
  Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true' EXIT
  sleep 2
  DISPLAY=$display bash "$work/inner.sh"
else
  xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/inner.sh"
fi
ls "$out"/*.png
