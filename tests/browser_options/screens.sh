#!/usr/bin/env bash
# Pictures of every page of the options dialog under Xvfb (not a test), with
# Wine's visual style on (opt-*.png) and off (classic-*.png).
# Usage: tests/browser_options/screens.sh BUILD_DIR OUT_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?build}" && pwd)
out=$(mkdir -p "${2:?out}" && cd "$2" && pwd)
wine=${WINE:-/usr/lib/wine/wine}
prefix="$build/wineprefix-x11"
"$root/scripts/wine-prefix.sh" "$prefix" "$wine" x11
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
cat >"$out/inner.sh" <<INNER
set -u
b="$build/bin"
ins() { "$wine" explorer /desktop=shot,1024x768 "\$@"; }
tm='HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager'
for style in opt:1 classic:0; do
  "$wine" reg add "\$tm" /v ThemeActive /d "\${style#*:}" /f >/dev/null 2>&1
  wineserver -k 2>/dev/null; sleep 1
  "$wine" explorer /desktop=shot,1024x768 "\$b/tovix.exe" &
  ins "\$b/uiprobe.exe" wait TVantrelbyHalvek 60000 >/dev/null
  sleep 3
  ins "\$b/uiprobe.exe" wait TVantrelbyHalvek command "オプション(O)..." >/dev/null
  ins "\$b/uiprobe.exe" wait TOptionDlg 20000 >/dev/null
  sleep 2
  n=0
  for node in 画面 表示 フォルダ 解凍 圧縮 圧縮/LHA "圧縮/ZIP/TAR" 圧縮/CAB その他; do
    ins "\$b/uiprobe.exe" wait TOptionDlg 2000 select-node "\$node" >/dev/null
    sleep 1
    geom=\$(ins "\$b/uiprobe.exe" wait TOptionDlg 2000 rect | tr -d '\r' |
      awk '\$1 == "rect:" { printf "%dx%d+%d+%d", \$4 - \$2, \$5 - \$3, \$2, \$3 }')
    n=\$((n + 1))
    import -window root -crop "\$geom" +repage "$out/\${style%%:*}-\$n.png"
  done
  ins "\$b/uiprobe.exe" wait TOptionDlg 2000 close >/dev/null
  sleep 1
  ins "\$b/uiprobe.exe" wait TVantrelbyHalvek 2000 close wait-exit 10000 >/dev/null || true
  wineserver -k 2>/dev/null || true
done
"$wine" reg add "\$tm" /v ThemeActive /d 1 /f >/dev/null 2>&1
wineserver -k 2>/dev/null || true
INNER
xvfb-run -a -s "-screen 0 1024x768x24" bash "$out/inner.sh" >"$out/inner.log" 2>&1 || true
rm -f "$out/inner.sh"
ls "$out"/*.png
