#!/usr/bin/env bash
# Pictures of the listing and extraction windows under Xvfb (not a test):
# the main window with a listed archive, the folder picker with one box (LHA)
# and with both (a CAB folder), the result log and the about box.
# Usage: tests/browser_extract/screens.sh BUILD_DIR OUT_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?build}" && pwd)
out=$(mkdir -p "${2:?out}" && cd "$2" && pwd)
wine=/usr/lib/wine/wine64
prefix="$build/wineprefix-x11"
"$root/scripts/wine-prefix.sh" "$prefix" "$wine" x11
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
work="$out/work"
rm -rf "$work"
# Nothing left from an earlier run where the picker fell back to the desktop.
rm -rf "$prefix"/drive_c/users/*/Desktop/a.txt "$prefix"/drive_c/users/*/Desktop/docs
mkdir -p "$work/src/docs/img"
printf 'hello\r\n' >"$work/src/a.txt"
seq 1 3000 >"$work/src/docs/b.txt"
head -c 20000 /dev/urandom >"$work/src/docs/img/c.bin"
(cd "$work/src" && jlha a "$work/sample.lzh" a.txt docs >/dev/null 2>&1)
(cd "$work/src" && gcab -c "$work/sample.cab" a.txt docs/b.txt >/dev/null)
wp() { printf 'Z:%s' "${1//\//\\}"; }
arc=$(wp "$work/sample.lzh")
cab=$(wp "$work/sample.cab")
cat >"$work/inner.sh" <<INNER
set -u
b="$build/bin"
ins() { "$wine" explorer /desktop=shot,1024x768 "\$@"; }
"$wine" explorer /desktop=shot,1024x768 "\$b/tovix.exe" "$arc" &
sleep 10
import -window root "$out/main.png"
ins "\$b/uiprobe.exe" wait TVantrelbyHalvek command "解凍(U)..." >/dev/null
sleep 12
import -window root "$out/picker.png"
ins "\$b/lvclick.exe" --post "#32770" 0x111 1
sleep 8
import -window root "$out/resultlog.png"
ins "\$b/lvclick.exe" --post TDispDlg 0x111 1
sleep 2
ins "\$b/uiprobe.exe" wait TVantrelbyHalvek command "バージョン情報(A)..." >/dev/null
sleep 5
import -window root "$out/about.png"
ins "\$b/lvclick.exe" --post TAboutBox 0x201 1
sleep 2
ins "\$b/uiprobe.exe" wait TVantrelbyHalvek 1000 close >/dev/null || true
sleep 3
"$wine" explorer /desktop=shot,1024x768 "\$b/tovix.exe" "$cab" &
sleep 8
ins "\$b/uiprobe.exe" wait TVantrelbyHalvek command "解凍(U)..." >/dev/null
sleep 10
import -window root "$out/picker2.png"
ins "\$b/lvclick.exe" --post "#32770" 0x111 2
sleep 2
ins "\$b/uiprobe.exe" wait TVantrelbyHalvek 1000 close >/dev/null || true
sleep 3
wineserver -k 2>/dev/null || true
INNER
xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/inner.sh"
ls "$out"/*.png
