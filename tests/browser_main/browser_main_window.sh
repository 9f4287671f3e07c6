#!/usr/bin/env bash
# The real program under Wine: the main window's make-up, a view toggle that
# reaches the store at close, and the start with an archive argument.
source "$(dirname "$0")/common.sh"
regclear
trap 'probe find TVantrelbyHalvek close >/dev/null 2>&1 || true; regclear' EXIT

start_tovix "$SCRATCH/first.trace"
out=$(probe wait TVantrelbyHalvek 30000 caption status tabs columns menus toolbar)
expect_line "$out" "caption: Tovix" caption
expect_line "$out" "status[0]: 0 Files (0 Byte)" "status panel"
for t in "tab[0]: フォルダ *" "tab[1]: テキスト" "tab[2]: 画像"; do expect_line "$out" "$t" tabs; done
for c in "column[0]: 名前 100 left" "column[1]: サイズ 80 right" "column[2]: 更新日時 104 left" \
         "column[3]: 圧縮率 48 right" "column[4]: 形式 40 center"; do expect_line "$out" "$c" columns; done
for m in "新規起動(&Z) [Ctrl+Z]" "解凍(&U)... [Ctrl+U] [disabled]" "削除(&D) [Del] [disabled]" \
         "ツールバー(&T) [checked]" "詳細(&D) [checked]" "なし [checked]" "$設定ファイル作成(&I)... [disabled]" \
         "フォルダ(&F)..." "バージョン情報(&A)..."; do expect_line "$out" "$m" menus; done
# Buttons in design order: hidden and disabled as designed.
buttons=$(grep '^button' <<<"$out")
[ "$(wc -l <<<"$buttons")" -eq 29 ] || fail "29 toolbar buttons expected: $buttons"
expect_line "$buttons" "button[0]: id=" toolbar
grep -q '^button\[3\]: .*\[hidden\]' <<<"$buttons" || fail "NextBtn1 starts hidden"
grep -q '^button\[7\]: .*\[disabled\]' <<<"$buttons" || fail "UnPackBtn1 starts disabled"
grep -q '^button\[8\]: .*\[hidden\]' <<<"$buttons" && fail "PackBtn1 is shown"
grep -c '\[hidden\] \[sep\]' <<<"$buttons" | grep -qx 4 || fail "four hidden separators"

# The status bar toggled off reaches the store when the window closes.
probe wait TVantrelbyHalvek command "ステータスバー(B)" sleep 300 menu "ステータスバー(B)" >"$SCRATCH/m.txt"
expect_line "$(cat "$SCRATCH/m.txt")" "menu: ステータスバー(&B)" toggle
tail -1 "$SCRATCH/m.txt" | grep -q checked && fail "status bar item still checked"
probe wait TVantrelbyHalvek close wait-exit 20000 || fail "window did not close"
[ "$(regget Pos StatusBar)" = 0 ] || fail "Pos\\StatusBar not saved as 0: '$(regget Pos StatusBar)'"
[ "$(regget Pos Width)" = 600 ] || fail "Pos\\Width: '$(regget Pos Width)'"

# Started with an archive (relative to the working folder): it is the one
# the first activation lists, with its absolute long name.
mkdir -p "$SCRATCH/Long Folder"
cp "$SRC/tests/browser_main/common.sh" "$SCRATCH/Long Folder/data.lzh"
(cd "$SCRATCH/Long Folder" && start_tovix "$SCRATCH/second.trace" data.lzh)
out=$(probe wait TVantrelbyHalvek 30000 menu "ステータスバー(B)" sleep 500)
grep -q checked <<<"$out" && fail "status bar should start hidden"
probe wait TVantrelbyHalvek close wait-exit 20000 || fail "second window did not close"
grep -qF "list: $(winpath "$SCRATCH/Long Folder/data.lzh")" "$SCRATCH/second.trace" ||
  fail "archive not listed at start: $(cat "$SCRATCH/second.trace" 2>/dev/null)"

# Two paths with Pack\Exit on: packed during start-up, then the process
# ends without its message loop and without saving the settings.
regclear
regset Pack Exit 1
(cd "$SCRATCH/Long Folder" && TOVIX_TRACE=$(winpath "$SCRATCH/exit.trace") timeout 60 $WINE_RUN "$BIN/tovix.exe" data.lzh "$(winpath "$SRC/README.md")") ||
  fail "start with Pack\\Exit did not end by itself"
grep -qF "pack: $(winpath "$SCRATCH/Long Folder/data.lzh")|" "$SCRATCH/exit.trace" || fail "not packed: $(cat "$SCRATCH/exit.trace")"
[ -z "$(regget Pos Width)" ] || fail "settings were saved after the start-up pack"
echo ok
