#!/usr/bin/env bash
# Two real instances in one prefix: an archive opened in one heads the other's
# recent menu, an extraction folder chosen in one reaches the other, a
# broadcast carrying the receiver's own handle is ignored, and the user's
# clipboard text survives all of it. Then toolbar order strings on the real
# toolbar, and the customisation dialog worked through its lists and
# buttons, whose layout the other instance takes over. The open dialog and
# the folder picker are answered as a user would.
source "$TOOLS/lib.sh"
own_prefix "$SCRATCH/prefix"
PIDS=()
cleanup() {
  for h in $(ctl windows TVantrelbyHalvek 2>/dev/null); do probe target "$h" close >/dev/null 2>&1 || true; done
  for p in "${PIDS[@]}"; do wait "$p" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT
ctl() { winrun "$BIN/bcastctl.exe" "$@" | tr -d '\r'; }
KEY='software\halvek\Tovix'
regset() { winrun reg add "HKCU\\$KEY\\$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }
# new_window BEFORE: a main window that is not among BEFORE; sets $NEW_H.
new_window() {
  NEW_H=$(comm -13 <(tr ' ' '\n' <<<"$1" | sort) <(ctl windows TVantrelbyHalvek | sort) | head -n1)
  [ -n "$NEW_H" ]
}
# start NAME ARGS...: starts an instance; sets $H_NAME to its window handle.
start() {
  local name=$1; shift
  local before
  before=$(ctl windows TVantrelbyHalvek)
  winrun "$BIN/tovix.exe" "$@" >/dev/null 2>&1 &
  PIDS+=($!)
  wait_until 30 "a window for $name" new_window "$before"
  printf -v "H_$name" '%s' "$NEW_H"
}
stop() {  # NAME: closes it and waits for the process to end
  local h="H_$1"
  probe target "${!h}" close wait-exit 20000 >/dev/null || fail "$1 did not close"
}
name_field_focused() {  # HANDLE
  probe target "$1" dialog "#32770" 500 controls 2>/dev/null | grep -q '^Edit id=1148 \[focus\]'
}
# open_archive HANDLE PATH: that instance's open dialog, answered with PATH
# typed into its name field once the field has the focus.
open_archive() {
  probe target "$1" command "開く(O)..." >/dev/null
  wait_until 20 "the open dialog's name field has the focus" name_field_focused "$1"
  probe target "$1" dialog "#32770" 1000 keys "$2" vk enter >/dev/null || fail "open dialog for $2"
}
# prints WANT COMMAND...: whether the command prints WANT; what it printed
# is left in $PRINTED, for the message when it never does.
prints() {
  local want=$1; shift
  PRINTED=$("$@")
  [ "$PRINTED" = "$want" ]
}
# settle WANT COMMAND...: until the command prints WANT (an instance took a
# broadcast); fails after 10 s, with what it printed last.
settle() {
  poll 10 prints "$@" || fail "after a broadcast: '$PRINTED', expected '$1' (${*:2})"
}
caption_names() {  # HANDLE NAME
  probe target "$1" caption | grep -qi "^caption: $2 "
}
# listed HANDLE NAME: until that instance's caption names the archive NAME;
# fails after 10 s with the caption it has.
listed() {
  poll 10 caption_names "$1" "$2" || fail "$2 not listed: $(probe target "$1" caption)"
}
# The recent items of an instance's File menu (after "閉じる(&C)").
recent() { probe target "$1" menus | awk '/^  閉じる/ { on = 1; next } on && /^  / { print } on && !/^  / { exit }'; }

winrun reg delete "HKCU\\$KEY" /f >/dev/null 2>&1 || true
regset Other 2Err 0
# Archives on drive C, so their menu captions do not depend on where the
# build lives; the extraction folder there too, where the folder picker's
# walk to it meets no other test's folders (as in the shared scratch folder).
C="$WINEPREFIX/drive_c"
mkdir -p "$SCRATCH/src" "$C/bc" "$C/deep/folder/tree/of/many/parts" "$C/browser_bcast_e2e/out"
printf 'hello\r\n' >"$SCRATCH/src/a.txt"
(cd "$SCRATCH/src" && jlha a "$C/bc/first.lzh" a.txt >/dev/null 2>&1)
(cd "$SCRATCH/src" && zip -q "$C/deep/folder/tree/of/many/parts/ab.zip" a.txt)
FIRST='C:\bc\first.lzh'
SECOND='C:\deep\folder\tree\of\many\parts\ab.zip'
OUT=$(winpath "$C/browser_bcast_e2e/out")

ctl settext "user words" >/dev/null
start A
start B
[ "$H_A" != "$H_B" ] || fail "one window for two instances"
[ -z "$(recent "$H_B")" ] || fail "B starts with recent items: $(recent "$H_B")"

# A opens an archive: both menus list it, A posted it and B took it.
open_archive "$H_A" "$FIRST"
want="  -
  &1 $FIRST"
settle "$want" recent "$H_B"
[ "$(recent "$H_A")" = "$want" ] || fail "A's recent items: $(recent "$H_A")"
# A second archive of 40 bytes goes on top in both, in its short menu form.
open_archive "$H_A" "$SECOND"
want="  -
  &1 C:\\..\\tree\\of\\many\\parts\\ab.zip
  &2 $FIRST"
settle "$want" recent "$H_B"
# B opens its second recent item: it moves to the head everywhere.
probe target "$H_B" command "2 $FIRST" >/dev/null
listed "$H_B" first.lzh
want="  -
  &1 $FIRST
  &2 C:\\..\\tree\\of\\many\\parts\\ab.zip"
settle "$want" recent "$H_A"
[ "$(recent "$H_B")" = "$want" ] || fail "B's recent items after it opened one: $(recent "$H_B")"
# The first archive again, named in capitals: still one entry, at the head.
open_archive "$H_A" 'C:\BC\FIRST.LZH'
listed "$H_A" first.lzh
heads_first() { recent "$1" | grep -qi '^  &1 C:\\bc\\first.lzh$'; }
# Going on when it never heads B's list: the check below says what B holds.
poll 10 heads_first "$H_B" || true
got=$(recent "$H_B")
[ "$(grep -ci 'first.lzh' <<<"$got")" = 1 ] && grep -qi '^  &1 C:\\bc\\first.lzh$' <<<"$got" ||
  fail "B's recent items after the capitals: $got"

# A broadcast carrying the receiver's own handle is ignored; the same with
# another handle is taken.
ctl put "Tovix Aarc File" $'Z:\\fake.lzh\r\n' >/dev/null
ctl post wm_tovix_changeMenu "$H_B" >/dev/null
settle "  -
  &1 Z:\\fake.lzh" recent "$H_A"
[ "$(recent "$H_B")" = "$got" ] || fail "B's menu changed on its own handle: $(recent "$H_B")"

# A extracts into a chosen folder; B takes the folder and stores it at close.
# The folder picker: once it shows its own proposal (the archive's folder),
# led to the output folder in its tree, "フォルダ作成" off, OK.
# picker_shows HANDLE FOLDER: the picker's name field ends in FOLDER.
picker_shows() {
  probe target "$1" dialog "フォルダーの参照" 500 controls 2>/dev/null | grep -q "^Edit id=[0-9]* .*[] ]$2\$"
}
probe target "$H_A" command "解凍(U)..." >/dev/null
wait_until 20 "the folder picker proposes the archive's folder" picker_shows "$H_A" bc
probe target "$H_A" dialog "フォルダーの参照" 1000 choose-folder "$OUT" >/dev/null || fail "folder picker"
wait_until 10 "the folder picker shows the output folder" picker_shows "$H_A" out
probe target "$H_A" dialog "フォルダーの参照" 1000 tick フォルダ作成 0 click OK >/dev/null || fail "folder picker OK"
# The folder is announced when it is chosen, before the extraction ends.
wait_until 10 "a.txt extracted" test -f "$C/browser_bcast_e2e/out/a.txt"
[ "$(ctl get "Tovix Extract Dir")" = "Tovix Extract Dir: $OUT" ] || fail "clipboard folder: $(ctl get "Tovix Extract Dir")"
stop B
[ "$(ctl getreg "$KEY\\UnPack" ExDir)" = "ExDir: $(printf '%s' "$OUT" | od -An -tx1 | tr -d ' \n')" ] ||
  fail "B stored $(ctl getreg "$KEY\\UnPack" ExDir)"
# A new instance starts with the shared list, not the stored one.
regset Old Arc1 "Z:\\stored.lzh"
start C
[ "$(recent "$H_C")" = "  -
  &1 Z:\\fake.lzh" ] || fail "C's recent items at start: $(recent "$H_C")"
stop C
stop A
# The user's own clipboard content is still there.
[ "$(ctl gettext)" = "text: user words" ] || fail "clipboard text: $(ctl gettext)"

# ---- toolbar order strings on the real toolbar, applied by the reload that
# another instance's broadcast asks for.
# shown: the visible buttons as image numbers, "-" for a separator.
shown() { probe target "$1" toolbar | awk '!/\[hidden\]/ { if (/\[sep\]/) s = s " -"; else { sub(/.*image=/, ""); sub(/ .*/, ""); s = s " " $0 } } END { print substr(s, 2) }'; }
regset Pos ToolBarSet ""
start D
# Every button with its state, wherever it stands.
states() { probe target "$1" toolbar | sed 's/^button\[[0-9]*\]: //' | sort; }
design=$(states "$H_D")
n=0
while IFS='|' read -r hex want what; do
  ctl setreg "$KEY\\Pos" ToolBarSet "$hex" >/dev/null
  ctl post wm_tovix_changetoolbar 0 >/dev/null
  n=$((n + 1))
  poll 5 prints "$want" shown "$H_D" || fail "toolbar order ($what) $hex: '$PRINTED', expected '$want'"
done <<'CASES'
-|0 - 1 4 - 5 6 - 7 9 - 13 14|empty: design order
0302|1 0|two buttons swapped, no separators
0201010103|0 - - - 1|separators as named
0201010101010101010103|0 - - - - - - - - 1|more separators than the bar has
0416|2 20|buttons hidden at design time
16150403|20 19 2 1|hidden buttons in another order
02ff4003|0 1|codes past the buttons
020203|0 1|a button named twice
02404040404040404040404040404040404040404040404040404040404040404003|0|longer than the bar
322c31||text that names nothing
-|0 - 1 4 - 5 6 - 7 9 - 13 14|empty again: design order
CASES
[ "$(states "$H_D")" = "$design" ] || fail "the design visibility did not come back"

# ---- the customisation dialog in E; D takes the layout over.
# state HANDLE: what the instance's toolbar dialog shows: its two lists ("*"
# after the selected row) and the enabled ones of its four editing buttons.
state() {
  probe target "$1" dialog TToolDlg 2000 controls | awk '
    /^ListBox/ { n++; next }
    /^  / && n { r = substr($0, 3); sel = sub(/^\* /, "", r); rows[n] = rows[n] (k[n]++ ? "," : "") r (sel ? "*" : ""); next }
    /^Button/ && !/\[disabled\]/ {
      if (/<< 追加/) on = on " add"; else if (/削除.*>>/) on = on " del"
      else if (/１つ上に/) on = on " up"; else if (/１つ下に/) on = on " down"
    }
    END { print rows[1] " | " rows[2] " | " substr(on, 2) }'
}
# act HANDLE STEP: a click in the toolbar dialog: t:N / c:N a row of the
# toolbar or the command list, else the button add, del, up, down or reset;
# "STEP (disabled)" only finds that button disabled.
act() {
  local h=$1 step=$2 button
  case $step in
    t:*) probe target "$h" dialog TToolDlg 2000 pick 0 "${step#t:}" >/dev/null || fail "pick $step"; return ;;
    c:*) probe target "$h" dialog TToolDlg 2000 pick 1 "${step#c:}" >/dev/null || fail "pick $step"; return ;;
  esac
  case ${step% (disabled)} in
    add) button="<< 追加(&A)" ;; del) button="削除(&D) >>" ;; up) button="１つ上に(&U)" ;;
    down) button="１つ下に(&N)" ;; reset) button="初期化(&R)" ;; *) fail "no step $step" ;;
  esac
  if [ "$step" != "${step% (disabled)}" ]; then
    probe target "$h" dialog TToolDlg 2000 controls | grep -qxF "Button id=0 [disabled] $button" || fail "$step: not disabled"
  else
    probe target "$h" dialog TToolDlg 2000 click "${button//&/}" >/dev/null || fail "click $step"
  fi
}
# steps HANDLE: each "STEP | STATE" line read: the step taken, then until
# the dialog shows that state.
steps() {
  local step want
  while IFS= read -r line; do
    step=${line%% | *} want=${line#* | }
    [ "$step" = show ] || act "$1" "$step"
    settle "$want" state "$1"
  done
}
# Toolbar list at start: 終了 - 新規書庫 開く - 解凍 圧縮 - 表示 削除 - ソートしない 拡張子でソート.
start E
probe target "$H_E" command "ツールバーの編集(C)..." >/dev/null
steps "$H_E" <<'STEPS'
show | 終了,区切り,新規書庫,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,拡張子でソート | 区切り,新規起動,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | 
add (disabled) | 終了,区切り,新規書庫,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,拡張子でソート | 区切り,新規起動,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | 
t:0 | 終了*,区切り,新規書庫,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,拡張子でソート | 区切り,新規起動,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | del down
up (disabled) | 終了*,区切り,新規書庫,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,拡張子でソート | 区切り,新規起動,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | del down
t:12 | 終了,区切り,新規書庫,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,拡張子でソート* | 区切り,新規起動,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | del up
down (disabled) | 終了,区切り,新規書庫,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,拡張子でソート* | 区切り,新規起動,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | del up
c:0 | 終了,区切り,新規書庫,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,拡張子でソート* | 区切り*,新規起動,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | add del up
add | 終了,区切り,新規書庫,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,区切り,拡張子でソート* | 区切り*,新規起動,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | add del up
c:1 | 終了,区切り,新規書庫,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,区切り,拡張子でソート* | 区切り,新規起動*,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | add del up
add | 終了,区切り,新規書庫,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,区切り,新規起動,拡張子でソート* | 区切り,フォルダ作成*,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | add del up
t:0 | 終了*,区切り,新規書庫,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,区切り,新規起動,拡張子でソート | 区切り,フォルダ作成*,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | add del down
del | 区切り*,新規書庫,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,区切り,新規起動,拡張子でソート | 区切り,終了*,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | add del down
t:0 | 区切り*,新規書庫,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,区切り,新規起動,拡張子でソート | 区切り,終了*,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | add del down
del | 新規書庫*,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,区切り,新規起動,拡張子でソート | 区切り,終了*,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | add del down
t:1 | 新規書庫,開く*,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,区切り,新規起動,拡張子でソート | 区切り,終了*,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | add del up down
down | 新規書庫,区切り,開く*,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,区切り,新規起動,拡張子でソート | 区切り,終了*,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | add del up down
STEPS
probe target "$H_E" dialog TToolDlg 2000 click OK >/dev/null || fail "toolbar dialog OK"
probe target "$H_E" waitgone TToolDlg 10000 >/dev/null || fail "E's dialog stayed"
layout="1 - 4 5 6 - 7 9 - 13 - 2 14"
[ "$(shown "$H_E")" = "$layout" ] || fail "E's toolbar after OK: $(shown "$H_E")"
settle "$layout" shown "$H_D"
[ "$(ctl getreg "$KEY\\Pos" ToolBarSet)" = "ToolBarSet: 030106070801090b010f010410" ] ||
  fail "stored layout: $(ctl getreg "$KEY\\Pos" ToolBarSet)"
stop E

# F starts with the stored layout. Reset, then cancel: nothing enabled after
# the reset, nothing stored or announced, D keeps its layout.
start F
probe target "$H_F" command "ツールバーの編集(C)..." >/dev/null
steps "$H_F" <<'STEPS'
t:3 | 新規書庫,区切り,開く,解凍*,圧縮,区切り,表示,削除,区切り,ソートしない,区切り,新規起動,拡張子でソート | 区切り,終了,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | del up down
c:2 | 新規書庫,区切り,開く,解凍*,圧縮,区切り,表示,削除,区切り,ソートしない,区切り,新規起動,拡張子でソート | 区切り,終了,フォルダ作成*,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | add del up down
reset | 終了,区切り,新規書庫,開く,区切り,解凍,圧縮,区切り,表示,削除,区切り,ソートしない,拡張子でソート | 区切り,新規起動,フォルダ作成,編集,テスト実行,すべて選択,選択の切り替え,書庫の検査,自己解凍書庫作成,検索,Explorerの起動,プロパティ,上へ | 
STEPS
# The help button asks the help viewer for the dialog's topic.
help=$(probe target "$H_F" dialog TToolDlg 2000 help-click "ヘルプ(H)" || true)
grep -q '^help: 1 77 ' <<<"$help" || fail "toolbar dialog help: $help"
probe target "$H_F" dialog TToolDlg 2000 click キャンセル >/dev/null || fail "toolbar dialog cancel"
probe target "$H_F" waitgone TToolDlg 10000 >/dev/null || fail "F's dialog stayed"
# A layout broadcast, which a cancel must not send, would go out once F is
# back from its dialog, and D would have taken it before what is posted now.
probe target "$H_F" taken target "$H_D" taken >/dev/null || fail "F or D took nothing"
[ "$(shown "$H_D")" = "$layout" ] || fail "D's toolbar after F's cancel: $(shown "$H_D")"
# The view toggle hides and shows the bar, its popup twin in step.
probe target "$H_D" command "ツールバー(T)" >/dev/null
probe target "$H_D" menu "ツールバー(T)" | grep -qF '[checked]' && fail "toolbar item still checked"
probe target "$H_D" toolbar >/dev/null
stop D
[ "$(ctl getreg "$KEY\\Pos" ToolBar)" = "ToolBar: 30" ] || fail "toolbar visibility stored: $(ctl getreg "$KEY\\Pos" ToolBar)"
echo "bcast e2e ok"
