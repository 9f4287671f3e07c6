#!/usr/bin/env bash
# Pictures of dialogs as a user sees them: the about box, the find dialog
# (also with a list of hits),
# the toolbar dialog, the extension dialog (both pages), the properties
# dialog, the setting-file editor, the options dialog's first page and the
# engine's password box for an encrypted ZIP (the program run beside
# Info-ZIP's kind of unzip32.dll, which leaves the question to it), each
# opened through the program's own menus under Xvfb with the normal display
# driver.
# Usage: dialog-shots.sh [BUILD_DIR] [OUT_DIR]
# SHOT_DISPLAY=N uses that X display number (default: the first free one).
set -euo pipefail
source "$(dirname "$0")/shot-common.sh"
shot_build "${1:-}"
out=$(mkdir -p "${2:-$build/dialog-shots}" && cd "${2:-$build/dialog-shots}" && pwd)
# The encrypted archive whose password box is shown.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'hello\r\n' >"$work/a.txt"
(cd "$work" && zip -q -P secret locked.zip a.txt && jlha a sample.lzh a.txt >/dev/null 2>&1 && rm a.txt)
# Hits enough to fill the find dialog's result list.
mkdir "$work/many"
for i in $(seq 20); do printf 'x\r\n' >"$work/many/file$i.txt"; done
(cd "$work/many" && jlha a ../many.lzh file*.txt >/dev/null 2>&1 && rm -r "$work/many")
mkdir "$work/iz"
cp "$build/bin/tovix.exe" "$build/bin/"*.dll "$work/iz/"
[ -f "$build/bin/tests/infozip/unzip32.dll" ] && cp "$build/bin/tests/infozip/unzip32.dll" "$work/iz/"
exe="$work/iz/tovix.exe"
cat >"$work/inner.sh" <<INNER
set -u
source "$root/scripts/shot-common.sh"
probe() { "$wine" "$build/bin/tests/uiprobe.exe" "\$@" | tr -d '\r'; }
# shot NAME PROBE-ARGS...: the probe's last target, cut out of the screen.
shot() {
  local name=\$1 geom
  shift
  sleep 1
  geom=\$(probe "\$@" rect | window_geom)
  [ -n "\$geom" ] && import -window root -crop "\$geom" +repage "$out/\$name.png" && echo "$out/\$name.png"
}
shot_desktop
main() { probe wait TVantrelbyHalvek 60000 "\$@"; }
# An LHA archive first, with the self-extractor style that offers "\$".
"$wine" reg add 'HKCU\software\halvek\Tovix\Pack' /v AutoStyle /d 2 /f >/dev/null 2>&1
"$wine" "$exe" "Z:${work//\//\\}\\sample.lzh" &
main >/dev/null
main command "拡張子設定(E)..." >/dev/null
shot extensions main dialog TExtDlg
main dialog TExtDlg tab 1 >/dev/null
shot extensions-images main dialog TExtDlg
main dialog TExtDlg click キャンセル >/dev/null
main command "プロパティ(R)..." >/dev/null
shot properties main dialog TPropDlg
main dialog TPropDlg click キャンセル >/dev/null
main command "\\\$設定ファイル作成(I)..." >/dev/null
shot setting-file main dialog TDoruDlg
main dialog TDoruDlg click キャンセル >/dev/null
main command "検索(F)..." >/dev/null
main dialog TFindDlg type 0 "*.txt" type 1 "Z:${work//\//\\}" click "検索開始(I)" >/dev/null
shot find-results main dialog TFindDlg
main dialog TFindDlg click "終了(P)" >/dev/null
main command "オプション(O)..." >/dev/null
shot options main dialog TOptionDlg
main dialog TOptionDlg click キャンセル >/dev/null
main close wait-exit 10000 >/dev/null || true
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
on_display "$work/inner.sh"
