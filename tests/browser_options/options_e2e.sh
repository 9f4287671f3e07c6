#!/usr/bin/env bash
# The options dialog from the real program: OK stores exactly the values
# changed through its controls (check boxes, radio groups, track bars,
# edits, the sample's font and colour) and tells the other instances;
# cancel stores nothing and tells no one. Then the themed controls with
# Wine's own visual style switched on.
source "$TOOLS/lib.sh"
export WINEPREFIX="$SCRATCH/prefix"
SETTINGS_KEY='software\halvek\Tovix'
winrun cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
wineserver -p 2>/dev/null || true
trap 'probe find TVantrelbyHalvek close wait-exit 20000 >/dev/null 2>&1 || true; wineserver -k 2>/dev/null || true' EXIT
regset() { winrun reg add "HKCU\\$SETTINGS_KEY\\$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }
regget() {
  winrun reg query "HKCU\\$SETTINGS_KEY\\$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v v="$2" '$1 == v { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}
# Every value of the store as "Section\Value=data", sorted.
dump() {
  winrun reg query "HKCU\\$SETTINGS_KEY" /s 2>/dev/null | iconv -f CP932 -t UTF-8 | tr -d '\r' | awk '
    /^HKEY/ { n = split($0, p, "\\"); sec = p[n]; next }
    $2 == "REG_SZ" { name = $1; $1 = ""; $2 = ""; sub(/^ +/, ""); print sec "\\" name "=" $0 }' | sort
}
seed() {
  winrun reg delete "HKCU\\$SETTINGS_KEY" /f >/dev/null 2>&1 || true
  regset UnPack MakeFolder 0
  regset UnPack DelFolderNum 1
  regset UnPack UnPackFolder 0
  regset UnPack FileNoFolder 1
  regset Pack PackStyle 5
  regset Pack AutoStyle 1
  regset Pack Zip 6
  regset List ViewProg notepad
  regset Other 2Err 0
}
# run NAME PROBE-ARGS...: opens the options on the seeded store, works its
# controls with those uiprobe commands (the last presses OK or cancel) and
# leaves the store as the dialog left it (dump in $SCRATCH/NAME.after), what
# a listening window got in $SCRATCH/NAME.bcast and the probe's output in
# $SCRATCH/NAME.out.
run() {
  local name=$1
  shift
  seed
  winrun "$BIN/tovix.exe" >/dev/null 2>&1 &
  probe wait TVantrelbyHalvek 60000 >/dev/null || fail "$name: no main window"
  dump >"$SCRATCH/$name.before"
  winrun "$BIN/bcastwait.exe" wm_tovix_changeoption 8000 >"$SCRATCH/$name.bcast" 2>/dev/null &
  local waiter=$!
  wait_until 10 "$name: the listening window ready" grep -q ready "$SCRATCH/$name.bcast"
  probe wait TVantrelbyHalvek command "オプション(O)..." dialog TOptionDlg 10000 "$@" >"$SCRATCH/$name.out" ||
    fail "$name: $(cat "$SCRATCH/$name.out")"
  probe waitgone TOptionDlg 20000 >/dev/null || fail "$name: the dialog did not close"
  dump >"$SCRATCH/$name.after"
  probe wait TVantrelbyHalvek menu "新規起動(Z)" menu "フォルダ(F)..." >"$SCRATCH/$name.menu"
  wait "$waiter" || true
  tr -d '\r' <"$SCRATCH/$name.bcast" >"$SCRATCH/$name.bcast.txt"
  probe find TVantrelbyHalvek close wait-exit 20000 >/dev/null || fail "$name: did not close"
  wait
}

# OK with nothing changed: every setting is written once as it was read.
run same click OK
grep -qx 'got TVantrelbyHalvek lparam 0' "$SCRATCH/same.bcast.txt" ||
  fail "same: broadcast not seen: $(cat "$SCRATCH/same.bcast.txt")"
[ "$(grep -c '^UnPack\\DelFolderNum=1$' "$SCRATCH/same.after")" = 1 ] || fail "same: store lacks the seeded values"

# Changes of every kind, page by page, as a person makes them: the sample's
# font (the fourth face of the font dialog, size 12, bold) and background
# colour (typed in the colour dialog's red, green and blue fields, once the
# dialog has opened them out), boxes, radio buttons, track bars and fields.
changes=(select-node 画面 click "フォント(F)" dialog "#32770" 10000 pick 0 3 pick 1 2 type 2 12 controls click OK
  wait TVantrelbyHalvek dialog TOptionDlg click "背景色(B)" dialog "#32770" 10000 click "色の作成(D) >>" taken
  type 0 255 type 1 255 type 2 224 click OK
  wait TVantrelbyHalvek dialog TOptionDlg
  select-node 表示 type 0 'C:\tools\viewer.exe'
  select-node フォルダ type 0 'C:\展開先'
  select-node 解凍 tick "書庫名のフォルダ作成して解凍(M)" 1 tick "書庫名の後ろの数値は除く(X)" 0
  select-node 圧縮 tick "追加圧縮時に開いているフォルダへ圧縮(C)" 0 tick "ファイル名でソートして圧縮(S)" 1
  select-node 圧縮/LHA tick lh7 tick WinSFX32M
  select-node 圧縮/ZIP/TAR track 0 9 tick "拡張子 tgz (T)" 1
  select-node 圧縮/CAB tick LZW track 0 18
  select-node その他 tick "最後に開いたフォルダを保存する(O)" 0 tick "２重起動しない(X)" 1 tick "書庫のアイコンは抽出する(I)" 1
  select-node 解凍 controls)
run changed "${changes[@]}" click OK
# The face chosen: the font dialog's face field when OK was pressed.
face=$(awk '/^Edit id=1001/ { sub(/^Edit id=1001 (\[focus\] )?/, ""); print; exit }' "$SCRATCH/changed.out")
[ -n "$face" ] || fail "changed: no face in the font dialog: $(cat "$SCRATCH/changed.out")"
# File extraction's box is disabled while the extraction folders are on: it
# stays as it was.
grep -q '^Button id=0 \[disabled\] \[checked\] ファイル解凍時にはフォルダを付けない' "$SCRATCH/changed.out" ||
  fail "changed: file extraction's box: $(grep ファイル解凍時 "$SCRATCH/changed.out")"
diff <(diff "$SCRATCH/same.after" "$SCRATCH/changed.after" | grep '^>' | sed 's/^> //') - <<EXPECT ||
Font\\Name=$face
Font\\Size=12
Font\\Style=1
List\\Color=\$00E0FFFF
List\\ViewProg=C:\\tools\\viewer.exe
Other\\2Err=1
Other\\icon=1
Pack\\AddFolder=0
Pack\\AutoStyle=2
Pack\\CabLevel=18
Pack\\CabStyle=1
Pack\\PackStyle=7
Pack\\Sort=1
Pack\\TGZ=1
Pack\\Zip=9
Pos\\SaveFolder=0
UnPack\\DefFolder=C:\\展開先
UnPack\\DelFolderNum=0
UnPack\\MakeFolder=1
EXPECT
  fail "changed: the store differs otherwise: $(diff "$SCRATCH/same.after" "$SCRATCH/changed.after")"
diff <(cut -d= -f1 "$SCRATCH/same.after") <(cut -d= -f1 "$SCRATCH/changed.after") || fail "changed: other values"
grep -qx 'got TVantrelbyHalvek lparam 0' "$SCRATCH/changed.bcast.txt" || fail "changed: no broadcast"
# One instance only now: no second start; no new folder without Pack\AddFolder.
[ "$(grep -c 'disabled' "$SCRATCH/same.menu")" = 0 ] || fail "same: $(cat "$SCRATCH/same.menu")"
[ "$(grep -c 'disabled' "$SCRATCH/changed.menu")" = 2 ] || fail "changed: $(cat "$SCRATCH/changed.menu")"

# Cancel after the same changes: the store is as it was and no one is told.
run cancelled "${changes[@]}" click キャンセル
diff "$SCRATCH/cancelled.before" "$SCRATCH/cancelled.after" || fail "cancel wrote to the store"
grep -qx timeout "$SCRATCH/cancelled.bcast.txt" || fail "cancel broadcast: $(cat "$SCRATCH/cancelled.bcast.txt")"

# Wine's own visual style (on in a new prefix): the themed controls paint
# through it; switched off: every one paints classically.
tm='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'
themes() { winrun reg add "$tm" /v ThemeActive /d "$1" /f >/dev/null 2>&1; }
trap 'themes 1; probe find TVantrelbyHalvek close wait-exit 20000 >/dev/null 2>&1 || true; wineserver -k 2>/dev/null || true' EXIT
for on in 0 1; do
  themes $on
  TOVIX_EXPECT_THEMES=$on winrun "$BIN/browser_options_test.exe" --gtest_brief=1 >"$SCRATCH/themes$on.log" 2>&1 ||
    fail "themes $on: $(cat "$SCRATCH/themes$on.log")"
done
echo ok
