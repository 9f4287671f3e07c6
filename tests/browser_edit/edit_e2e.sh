#!/usr/bin/env bash
# The editing commands of the real program on real archives made by jlha and
# zip: delete rows and a folder, rename, new folder nodes, archive test, view,
# edit, test run, self-extractor and back; the results read back with lhasa
# and unzip and from the windows. Then refusals that must lose nothing, the
# command strings from the recording libraries' journal, and the tool and
# help commands. Every question is the real message box, answered through its
# buttons; the programs the commands start (viewer, editor, test run
# and the editor setting) are a recording stand-in named by the prefix's file
# associations and the editor setting; the explorer is the system's own,
# read from its window.
source "$(dirname "$0")/ui_common.sh"
source "$TOOLS/beside.sh"
src="$SCRATCH/src"
mkdir -p "$src/docs/img"
printf 'hello\r\n' >"$src/a.txt"
seq 1 2000 >"$src/b.txt"
printf '[Version]\r\n' >"$src/setup.inf"
seq 1 500 >"$src/docs/c.txt"
head -c 5000 /dev/urandom >"$src/docs/img/d.bin"
(cd "$src" && jlha a "$SCRATCH/master.lzh" a.txt b.txt setup.inf docs >/dev/null 2>&1)
(cd "$src" && zip -qr "$SCRATCH/master.zip" a.txt b.txt setup.inf docs)
# The stand-in: text files and setup files open with it (open and install).
runs="$SCRATCH/runs.txt"
export RUNREC_LOG=$(winpath "$runs") RUNREC_CHANGE=$(winpath "$SCRATCH/change-next")
rr=$(winpath "$BIN/runrec.exe")
for ext in .txt .inf; do winrun reg add "HKCR\\$ext" /ve /d tovixtest.file /f >/dev/null 2>&1; done
for verb in open install; do
  winrun reg add "HKCR\\tovixtest.file\\shell\\$verb\\command" /ve /d "\"$rr\" $verb \"%1\"" /f >/dev/null 2>&1
done
# click ROWS: real clicks on those rows (ROW,ROW...), done once the list has
# just them selected.
click() {
  winrun "$BIN/lvclick.exe" TVantrelbyHalvek "$1" >/dev/null || fail "click $1"
  wait_until 10 "rows $1 selected" selected_are "$1"
}
selected_are() {
  [ "$(probe wait TVantrelbyHalvek list | grep ' | ' | grep -n '^\*' | cut -d: -f1 | paste -sd, |
    awk -F, '{ for (i = 1; i <= NF; i++) printf "%s%d", (i > 1 ? "," : ""), $i - 1 }')" = "$1" ]
}
# cmd CAPTION: the menu command. The checks after it ask until it is done
# (the probe's questions overtake a command it posted).
cmd() { probe wait TVantrelbyHalvek command "$1" >/dev/null; }
# answer_yes TEXT: the program's question (a message box) shows TEXT and is answered はい.
answer_yes() {
  local out
  out=$(probe wait TVantrelbyHalvek answer "はい(Y)" 30000) || fail "no question '$1': $out"
  grep -qF -- "$1" <<<"$out" || fail "asked '$out', not '$1'"
}
# ok TEXT: a message box showing TEXT, closed with OK.
ok() {
  local out
  out=$(probe wait TVantrelbyHalvek answer OK 60000) || fail "no message '$1': $out"
  grep -qF -- "$1" <<<"$out" || fail "message '$out', not '$1'"
}
# log CAPTION: the result log, once shown: its caption checked, its text in
# $LOG, closed with OK.
log() {
  local out
  out=$(probe wait TVantrelbyHalvek dialog TDispDlg 60000 caption memo click OK gone) || fail "no result log '$1': $out"
  expect_line "$out" "caption: $1" "result log"
  LOG=$out
}
# del QUESTION CAPTION: the delete command, its question answered, its log read.
del() { cmd "削除(D)"; answer_yes "$1"; log "$2"; }
rows() { probe wait TVantrelbyHalvek list | grep ' | ' | sed 's/^\* *//; s/ | .*//' | tr '\n' ' '; }
lzh_names() { lha l "$1" | sed '1,2d' | head -n -2 | awk '{print $NF}' | grep -v '/$' | sort | tr '\n' ' '; }
zip_names() { unzip -Z1 "$1" | grep -v '/$' | sort | tr '\n' ' '; }
open() { start_tovix "$BIN/tovix.exe" "$(winpath "$1")"; }
# runs_so_far: how often the stand-in was started; ran N: at least N times
# (for `eventually`); last_run: its last line.
runs_so_far() {
  local n
  n=$(grep -c '^run ' "$runs" 2>/dev/null) || true
  echo "${n:-0}"
}
ran() { [ "$(runs_so_far)" -ge "$1" ] || fail "the stand-in ran $(runs_so_far) times, not $1: $(cat "$runs" 2>/dev/null)"; }
last_run() { grep '^run ' "$runs" | tail -1 | tr -d '\r'; }
# rows_are WANT: the list shows those rows (it is listed again after a command).
rows_are() { [ "$(rows)" = "$1" ] || fail "rows: '$(rows)', expected '$1'"; }

for kind in lzh zip; do
  names=${kind}_names
  tester() { if [ $kind = lzh ]; then lha t "$1" >/dev/null; else unzip -tq "$1" >/dev/null; fi; }
  arc="$SCRATCH/arc.$kind"
  cp "$SCRATCH/master.$kind" "$arc"
  open "$arc"
  # Two file rows (folder row first, then a.txt, b.txt, setup.inf).
  click 1,2
  del "オブジェクトを削除しますか?" "tovixの削除結果"
  eventually 30 rows_are "docs setup.inf "
  [ "$($names "$arc")" = "docs/c.txt docs/img/d.bin setup.inf " ] || fail "$kind after deleting files: $($names "$arc")"
  tester "$arc" || fail "$kind: archive damaged after deleting files"
  # A folder row takes everything below it.
  click 0
  del "オブジェクトを削除しますか?" "tovixの削除結果"
  eventually 30 rows_are "setup.inf "
  [ "$($names "$arc")" = "setup.inf " ] || fail "$kind after deleting a folder row: $($names "$arc")"
  stop_tovix
  # The folder from the tree: docs/img goes, docs/c.txt stays, and the
  # listing starts again at the root.
  cp "$SCRATCH/master.$kind" "$arc"
  open "$arc"
  probe wait TVantrelbyHalvek select-node "arc.$kind/docs/img" >/dev/null
  del "フォルダを削除しますか?" "tovixの削除結果"
  tree_is() {
    local tree
    tree=$(probe wait TVantrelbyHalvek tree)
    [ "$tree" = "arc.$kind *
  docs" ] || fail "$kind tree after deleting docs/img: $tree"
  }
  eventually 30 tree_is
  [ "$($names "$arc")" = "a.txt b.txt docs/c.txt setup.inf " ] || fail "$kind after deleting docs/img: $($names "$arc")"
  tester "$arc" || fail "$kind: archive damaged after deleting a folder"
  # Archive test: the library's log under the test caption.
  cmd "書庫の検査(T)"
  log "tovixの検査結果"
  grep -q 'setup\.inf' <<<"$LOG" || fail "$kind check log: $LOG"
  stop_tovix
done

# A tar whose last member is a ZIP is the tar: its own members are listed,
# and deleting one (which the tar library does not do) leaves it byte for byte.
mkdir -p "$SCRATCH/tz"
cp "$SCRATCH/master.zip" "$SCRATCH/tz/inner.zip"
printf 'hello\r\n' >"$SCRATCH/tz/a.txt"
tar -C "$SCRATCH/tz" -cf "$SCRATCH/tz.tar" a.txt inner.zip
cp "$SCRATCH/tz.tar" "$SCRATCH/tz-before.tar"
open "$SCRATCH/tz.tar"
[ "$(rows)" = "a.txt inner.zip " ] || fail "tar ending in a ZIP lists as: $(rows)"
click 0
grep -q disabled <<<"$(probe wait TVantrelbyHalvek menu "削除(D)")" || fail "tar: delete offered"
cmd "削除(D)"
stop_tovix
cmp -s "$SCRATCH/tz-before.tar" "$SCRATCH/tz.tar" || fail "deleting from a tar ending in a ZIP changed it"

# Rename (LHA): the library asks the new name; the folder stays selected.
arc="$SCRATCH/arc.lzh"
cp "$SCRATCH/master.lzh" "$arc"
open "$arc"
probe wait TVantrelbyHalvek select-node "arc.lzh/docs" >/dev/null
click 1
cmd "名前の変更(N)..."
# The library's own rename dialog, answered through its field.
probe wait TVantrelbyHalvek dialog 名前の変更 20000 type 0 renamed.txt click OK >/dev/null || fail "the library's rename dialog"
log "tovixの名前の変更結果"
eventually 30 rows_are "img renamed.txt "
[ "$(lzh_names "$arc")" = "a.txt b.txt docs/img/d.bin docs/renamed.txt setup.inf " ] ||
  fail "after rename: $(lzh_names "$arc")"
lha t "$arc" >/dev/null || fail "archive damaged after rename"
stop_tovix

# New folder nodes: added under the selected node; a name with a separator,
# or one that exists in another case, is ignored; nothing touches the file.
cp "$SCRATCH/master.zip" "$SCRATCH/nf.zip"
open "$SCRATCH/nf.zip"
# The real dialog, a name typed and OK, or Cancel.
for name in 新しいフォルダ a/b DOCS -; do
  probe wait TVantrelbyHalvek command "フォルダ(F)..." >/dev/null
  if [ "$name" = - ]; then
    probe wait TVantrelbyHalvek dialog "新規フォルダ名の入力" type 0 ignored click キャンセル >/dev/null
  else
    probe wait TVantrelbyHalvek dialog "新規フォルダ名の入力" type 0 "$name" click OK >/dev/null
  fi || fail "new-folder dialog for $name"
  probe wait TVantrelbyHalvek waitgone TFolDlg 10000 >/dev/null || fail "new-folder dialog not closed"
done
tree_is() {
  local tree
  tree=$(probe wait TVantrelbyHalvek tree)
  [ "$tree" = "$1" ] || fail "tree after new folders: $tree"
}
eventually 10 tree_is "nf.zip *
  docs
    img
  新しいフォルダ"
cmp -s "$SCRATCH/master.zip" "$SCRATCH/nf.zip" || fail "new folder changed the archive"
# Deleting such a node removes it from the tree and asks the library nothing.
probe wait TVantrelbyHalvek select-node "nf.zip/新しいフォルダ" >/dev/null
cmd "削除(D)"
answer_yes "フォルダを削除しますか?"
node_gone() {
  local tree
  tree=$(probe wait TVantrelbyHalvek tree)
  [ "$tree" = "nf.zip *
  docs
    img" ] || fail "tree after deleting the new node: $tree"
}
eventually 30 node_gone
cmp -s "$SCRATCH/master.zip" "$SCRATCH/nf.zip" || fail "deleting a new node changed the archive"
stop_tovix

# View, edit and test run (LHA), through the stand-in.
arc="$SCRATCH/arc.lzh"
cp "$SCRATCH/master.lzh" "$arc"
open "$arc"
click 1
n=$(runs_so_far)
cmd "表示(V)"
eventually 60 ran $((n + 1))
view=$(last_run | sed -n 's/^run "[^"]*runrec\.exe" open "\([^"]*\)" | in .*/\1/p')
[[ "$view" == *'\tovix.'*'\a.txt' ]] || fail "view: $(last_run)"
unix=$(winrun winepath -u "$view" 2>/dev/null | tr -d '\r')
cmp -s "$src/a.txt" "$unix" || fail "viewed copy differs: $unix"
# A newer file of the entry's name in the temporary folder is not the entry:
# the editor gets the real one, and that file stays as it was. The editor (the
# association's program) changes the file this time.
stale="$(dirname "$(dirname "$unix")")/a.txt"
printf 'stale\r\n' >"$stale" && touch -d '2030-01-01' "$stale"
touch "$SCRATCH/change-next"
n=$(runs_so_far)
cmd "編集(E)"
eventually 60 ran $((n + 1))
[[ "$(last_run)" == 'run open "'*'\a.txt" | in '* ]] || fail "edit: $(last_run)"
[ -e "$SCRATCH/change-next" ] && fail "the editor did not change the file"
edited() {
  rm -rf "$SCRATCH/edited" && mkdir -p "$SCRATCH/edited"
  (cd "$SCRATCH/edited" && lha xq "$arc" a.txt)
  printf 'hello\r\nedited\r\n' >"$SCRATCH/want.txt"
  cmp -s "$SCRATCH/want.txt" "$SCRATCH/edited/a.txt" || fail "edited entry: $(od -c "$SCRATCH/edited/a.txt")"
}
eventually 60 edited
[ "$(cat "$stale")" = $'stale\r' ] || fail "the stale file was touched: $(od -c "$stale" | head -2)"
rm "$stale"
eventually 30 rows_are "docs a.txt b.txt setup.inf "
lha t "$arc" >/dev/null || fail "archive damaged after edit"
[ "$(lzh_names "$arc")" = "a.txt b.txt docs/c.txt docs/img/d.bin setup.inf " ] || fail "after edit: $(lzh_names "$arc")"
# Left alone by the editor: not put back; the taken-out copy goes either way.
cp "$arc" "$SCRATCH/before-edit.lzh"
click 1
n=$(runs_so_far)
cmd "編集(E)"
eventually 60 ran $((n + 1))
temp=$(last_run | sed 's/^run open "//; s/" | in .*//')
temp=$(winrun winepath -u "$temp" 2>/dev/null | tr -d '\r')
copy_gone() { [ ! -e "$temp" ] || fail "taken-out copy left: $temp"; }
eventually 30 copy_gone
[ -e "$(dirname "$temp")" ] && fail "the edit's work folder was left: $(dirname "$temp")"
cmp -s "$SCRATCH/before-edit.lzh" "$arc" || fail "an unchanged entry was put back"
# Test run of a setup file: its install verb, in its own folder.
click 3
n=$(runs_so_far)
cmd "テスト実行(T)"
eventually 60 ran $((n + 1))
line=$(last_run)
[[ "$line" == 'run "'*'runrec.exe" install "'*'\tovix.'*'\setup.inf" | in '*'\tovix.'* ]] || fail "test run: $line"
work=$(sed 's/.* | in //' <<<"$line")
work=$(winrun winepath -u "$work" 2>/dev/null | tr -d '\r')
cmp -s "$src/docs/img/d.bin" "$work/docs/img/d.bin" || fail "test run folder lacks the archive's files: $work"
stop_tovix
[ -e "$work" ] && fail "test run folder left after exit: $work"
[ -e "$unix" ] && fail "viewed file left after exit: $unix"

# The root selected: Delete removes the archive file itself after the
# shell's own question, and the window and the recent list let it go; a "No"
# keeps it. (Shift, for good rather than to the recycle bin, makes no
# difference the test could see: this system's shell has no recycle bin and
# deletes either way.) Explorer opens the archive's folder.
recent() { probe wait TVantrelbyHalvek menus | grep '^  &[1-5] ' || true; }
for answer in no yes; do
  cp "$SCRATCH/master.zip" "$SCRATCH/gone.zip"
  open "$SCRATCH/gone.zip"
  grep -q 'gone\.zip' <<<"$(recent)" || fail "gone.zip not in the recent list: $(recent)"
  cmd "Explorerの起動(E)"
  explorer_there() {
    local out
    out=$(probe wait ExplorerWClass 1000 caption list)
    expect_line "$out" "caption: $(basename "$SCRATCH")" "explorer's folder"
    grep -q '^gone\.zip' <<<"$out" || fail "explorer's list: $out"
  }
  eventually 60 explorer_there
  probe wait ExplorerWClass close wait-exit 20000 >/dev/null || fail "explorer not closed"
  probe wait TVantrelbyHalvek select-node "gone.zip" >/dev/null
  cmd "削除(D)"
  if [ $answer = no ]; then
    probe wait TVantrelbyHalvek answer "いいえ(N)" 30000 >/dev/null || fail "no question before deleting the archive"
    stop_tovix
    cmp -s "$SCRATCH/master.zip" "$SCRATCH/gone.zip" || fail "archive changed after No"
  else
    probe wait TVantrelbyHalvek answer "はい(Y)" 30000 >/dev/null || fail "no question before deleting the archive"
    archive_gone() { [ ! -e "$SCRATCH/gone.zip" ] || fail "archive file not deleted"; }
    eventually 30 archive_gone
    closed() {
      local out
      out=$(probe wait TVantrelbyHalvek caption tree list)
      [ "$out" = "caption: Tovix" ] || fail "window after deleting the archive: $out"
    }
    eventually 30 closed
    grep -q 'gone\.zip' <<<"$(recent)" && fail "the deleted archive stays in the recent list: $(recent)"
  fi
  stop_tovix
done

# pick_folder PROPOSED PATH: the folder picker, once it shows its proposal
# (the folder PROPOSED, that of the file open), led to PATH in its tree; its
# box for the LHA program's second kind left clear; OK.
pick_folder() {
  local steps=() out
  picker_shows "$1"
  picker_lead "$2"
  out=$(probe wait TVantrelbyHalvek dialog "$PICKER" 1000 controls)
  grep -q "^Button id=[0-9]* WinSFX32M$" <<<"$out" && steps=(tick WinSFX32M 0)
  picker_ok "${steps[@]}"
}

# The archives and folders the folder picker proposes and is led to are in
# the prefix's own C: drive, where its walk meets no other test's folders.
CW="$TOVIX_PREFIX/drive_c/w"
mkdir -p "$CW"
# Self-extractor and back, with the archive deleted after making it: the
# window then holds the program and offers the way back, and the recent list
# names the program in the archive's place.
for kind in lzh zip; do
  arc="$CW/sfx.$kind"
  cp "$SCRATCH/master.$kind" "$arc"
  mkdir -p "$CW/sfxout-$kind" "$CW/back-$kind"
  regset Other LzhDelete 1
  open "$arc"
  cmd "自己解凍書庫の作成(S)..."
  pick_folder "$CW" "$CW/sfxout-$kind"
  # Its log comes once the program is made and the archive is gone.
  log "tovixの自己解凍書庫作成結果"
  exe="$CW/sfxout-$kind/sfx.exe"
  [ -f "$exe" ] || fail "$kind: no program made"
  [ -e "$arc" ] && fail "$kind: archive not deleted with Other\\LzhDelete"
  out=$(probe wait TVantrelbyHalvek caption menu "書庫に変更(R)..." menu "自己解凍書庫の作成(S)...")
  expect_line "$out" "caption: sfx.exe ($(winpath "$CW/sfxout-$kind")) - Tovix" "$kind caption"
  grep -q "書庫に変更.*disabled" <<<"$out" && fail "$kind: way back not offered: $out"
  grep -q "自己解凍書庫の作成.*disabled" <<<"$out" || fail "$kind: making again offered: $out"
  first=$(recent | head -1)
  [[ "$first" == *'\sfx.exe' ]] || fail "$kind: recent list after the program: $(recent)"
  # The program itself unpacks everything.
  if [ $kind = lzh ]; then
    winrun "$exe" "/D=$(winpath "$CW/unsfx-$kind")" >/dev/null 2>&1 || fail "lzh program failed"
  else
    unzip -tq "$exe" >/dev/null 2>&1 || fail "zip program: unzip -t fails"
    unzip -q "$exe" -d "$CW/unsfx-$kind" >/dev/null 2>&1 || true
  fi
  cmp -s "$src/docs/img/d.bin" "$CW/unsfx-$kind/docs/img/d.bin" || fail "$kind program's contents"
  cmd "書庫に変更(R)..."
  pick_folder "$CW/sfxout-$kind" "$CW/back-$kind"
  log "tovixの書庫に変更の結果"
  back="$CW/back-$kind/sfx.$kind"
  [ -f "$back" ] || fail "$kind: no archive made back"
  [ "$($kind"_names" "$back")" = "a.txt b.txt docs/c.txt docs/img/d.bin setup.inf " ] ||
    fail "$kind back: $($kind"_names" "$back")"
  if [ $kind = lzh ]; then lha t "$back" >/dev/null; else unzip -tq "$back" >/dev/null; fi || fail "$kind back damaged"
  expect_line "$(probe wait TVantrelbyHalvek caption)" "caption: sfx.$kind ($(winpath "$CW/back-$kind")) - Tovix" \
    "$kind caption back"
  stop_tovix
  regset Other LzhDelete 0
done

# Refusals lose nothing. A read-only archive: the delete is refused with a message.
for kind in lzh zip; do
  arc="$SCRATCH/ro.$kind"
  cp "$SCRATCH/master.$kind" "$arc"
  chmod a-w "$arc"
  open "$arc"
  click 1
  cmd "削除(D)"
  ok "書庫が読み込み専用のため変更できません。"
  cmp -s "$SCRATCH/master.$kind" "$arc" || fail "$kind read-only archive changed"
  [ "$(rows)" = "docs a.txt b.txt setup.inf " ] || fail "$kind read-only rows: $(rows)"
  stop_tovix
  chmod u+w "$arc"
done
# No stub for a ZIP self-extractor: a message, no program, the archive kept.
nostub="$SCRATCH/nostub"
mkdir -p "$nostub" "$CW/nsout"
cp "$BIN"/tovix.exe "$BIN"/*.dll "$nostub/"
cp "$SCRATCH/master.zip" "$CW/ns.zip"
start_tovix "$nostub/tovix.exe" "$(winpath "$CW/ns.zip")"
cmd "自己解凍書庫の作成(S)..."
pick_folder "$CW" "$CW/nsout"
# The engine's message box, answered through its button.
ok "Sfx32gui.dat が見つかりませんでした。"
probe wait TVantrelbyHalvek dialog TDispDlg 3000 click OK >/dev/null 2>&1 || true
probe wait TVantrelbyHalvek answer OK 3000 >/dev/null 2>&1 || true
stop_tovix
[ -z "$(ls "$CW/nsout")" ] || fail "something made without a stub: $(ls "$CW/nsout")"
cmp -s "$SCRATCH/master.zip" "$CW/ns.zip" || fail "archive changed without a stub"
# A format without self-extractors (TAR): the command is not offered, and
# posting it anyway makes nothing.
(cd "$src" && tar cf "$SCRATCH/t.tar" a.txt)
cp "$SCRATCH/t.tar" "$SCRATCH/t-copy.tar"
open "$SCRATCH/t.tar"
grep -q 'disabled' <<<"$(probe wait TVantrelbyHalvek menu "自己解凍書庫の作成(S)...")" || fail "tar: sfx offered"
cmd "自己解凍書庫の作成(S)..."
beside_any wait TVantrelbyHalvek dialog "#32770" 3000 click キャンセル -- true
# The close is taken after the command: nothing more can come once it ended.
stop_tovix
[ -z "$(ls "$CW/nsout")" ] || fail "tar: something made"
cmp -s "$SCRATCH/t.tar" "$SCRATCH/t-copy.tar" || fail "tar archive changed"

# Command strings, from the recording libraries' journal.
rec="$SCRATCH/rec"
mkdir -p "$rec"
cp "$BIN/tovix.exe" "$rec/"
cp "$BIN"/recorder/*.dll "$rec/"
export ARC_JOURNAL="$(winpath "$SCRATCH/journal.txt")" REC_unlha32_CHECK="r.lzh"
{
  echo "a.txt|10|5|0|$DOS||-lh5-|0"
  echo "b.txt|10|5|0|$DOS||-lh5-|0"
  echo "docs/c.txt|10|5|0|$DOS||-lh5-|0"
  echo "e.txt|0|0|0|$DOS||-lh5-|0"
} >"$SCRATCH/entries.txt"
export REC_unlha32_ENTRIES="$(winpath "$SCRATCH/entries.txt")"
echo x >"$SCRATCH/r.lzh"
A=$(winpath "$SCRATCH")
lastcmd() { grep ' Command owner=' "$SCRATCH/journal.txt" | tail -1 | sed 's/.* cmd=//' | tr -d '\r'; }
expect_cmd() { [ "$(lastcmd)" = "$1" ] || fail "$2: command '$(lastcmd)', expected '$1'"; }
# rec_cmd CAPTION [QUESTION]: the command, its question answered, and the
# result log or failure message it may bring closed.
rec_cmd() {
  cmd "$1"
  [ -z "${2:-}" ] || answer_yes "$2"
  sleep 1
  probe wait TVantrelbyHalvek dialog TDispDlg 2000 click OK gone >/dev/null 2>&1 || true
  probe wait TVantrelbyHalvek answer OK 1000 >/dev/null 2>&1 || true
}
start_tovix "$rec/tovix.exe" "$A\\r.lzh"
click 1,2
rec_cmd "削除(D)" "オブジェクトを削除しますか?"
eventually 30 expect_cmd "d -p \"$A\\r.lzh\" \"a.txt\" \"b.txt\"" "delete file rows"
click 0
rec_cmd "削除(D)" "オブジェクトを削除しますか?"
eventually 30 expect_cmd "d -p \"$A\\r.lzh\" \"docs\\*.*\"" "delete a folder row"
probe wait TVantrelbyHalvek command "すべて選択(A)" >/dev/null
rec_cmd "削除(D)" "オブジェクトを削除しますか?"
eventually 30 expect_cmd "d -p \"$A\\r.lzh\" \"*.*\"" "delete every row"
click 0,2
rec_cmd "名前の変更(N)..."
eventually 30 expect_cmd "n -p \"$A\\r.lzh\" \"docs\\*.*\" \"b.txt\"" "rename rows"
probe wait TVantrelbyHalvek command "すべて選択(A)" >/dev/null
rec_cmd "名前の変更(N)..."
eventually 30 expect_cmd "n -p \"$A\\r.lzh\" \"*.*\"" "rename every row"
rec_cmd "書庫の検査(T)"
eventually 60 expect_cmd "t \"$A\\r.lzh\"" "archive test"
stop_tovix
# An empty entry is not opened; Shift opens with the viewer setting.
regset List ViewProg "$rr"
start_tovix "$rec/tovix.exe" "$A\\r.lzh"
n=$(runs_so_far)
# (Shift goes up before each click: a click with it held extends the selection.)
click 3
probe wait TVantrelbyHalvek hold shift 1 command "表示(V)" sleep 1000 hold shift 0 >/dev/null
click 1
probe wait TVantrelbyHalvek hold shift 1 command "表示(V)" >/dev/null
eventually 60 ran $((n + 1))
probe wait TVantrelbyHalvek hold shift 0 >/dev/null
[[ "$(last_run)" == "run \"$rr\" "*'\tovix.'*'\a.txt | in '* ]] || fail "shift view: $(last_run)"
# The first command was done before the second: it opened nothing.
sleep 1
[ "$(runs_so_far)" = $((n + 1)) ] || fail "empty entry opened: $(cat "$runs")"
stop_tovix
regset List ViewProg notepad
# A BGA test whose log is empty says OK or NG by the answer alone.
export REC_bga32_CHECK="r.gza" REC_bga32_ENTRIES="$(winpath "$SCRATCH/entries.txt")"
echo x >"$SCRATCH/r.gza"
for rc in 0:OK 1:NG; do
  export REC_bga32_RC=${rc%:*}
  start_tovix "$rec/tovix.exe" "$A\\r.gza"
  cmd "書庫の検査(T)"
  log "tovixの検査結果"
  expect_line "$LOG" "${rc#*:}" "bga test answer ${rc%:*}"
  expect_cmd "t \"$A\\r.gza\"" "bga test"
  stop_tovix
done
unset REC_bga32_RC
# Deleting from a BGA archive with the archive time setting on: the archive
# file takes its newest entry's time (the LHA and ZIP libraries set it
# themselves).
regset Pack SetDate 1
touch -d '2020-01-01' "$SCRATCH/r.gza"
start_tovix "$rec/tovix.exe" "$A\\r.gza"
click 1
rec_cmd "削除(D)" "オブジェクトを削除しますか?"
eventually 30 expect_cmd "d \"$A\\r.gza\" \"a.txt\"" "bga delete"
dated() { [ "$(date -r "$SCRATCH/r.gza" '+%F %T')" = "2004-03-05 14:07:58" ] || fail "bga archive time: $(date -r "$SCRATCH/r.gza" '+%F %T')"; }
eventually 30 dated
stop_tovix
regset Pack SetDate 0
# The folder from the tree: its "*.*", without the whole-path switch.
start_tovix "$rec/tovix.exe" "$A\\r.lzh"
probe wait TVantrelbyHalvek select-node "r.lzh/docs" >/dev/null
rec_cmd "削除(D)" "フォルダを削除しますか?"
eventually 30 expect_cmd "d -r1 \"$A\\r.lzh\" \"docs/*.*\"" "delete the tree's folder"
stop_tovix

# Formatting: a removable drive of this prefix (a scratch folder) is offered
# in the menu, and choosing it hands its number to the shell's format call.
# This system's shell shows nothing for it and formats nothing (its log says
# it was called); a dialog, should one come, is cancelled.
mkdir -p "$SCRATCH/floppy"
echo keep >"$SCRATCH/floppy/keep.txt"
ln -sfn "$SCRATCH/floppy" "$WINEPREFIX/dosdevices/a:"
winrun reg add 'HKLM\Software\Wine\Drives' /v 'a:' /d floppy /f >/dev/null 2>&1
# The drive types are read when the prefix's services start.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineserver -p
winrun cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
WINEDEBUG=fixme+shell winrun "$BIN/tovix.exe" >/dev/null 2>"$SCRATCH/wine.log" &
TOVIX_PID=$!
probe wait TVantrelbyHalvek 60000 menu "A:" >/dev/null || fail "the removable drive is not offered"
cmd "A:"
beside_any wait TVantrelbyHalvek dialog "#32770" 3000 click キャンセル -- true
eventually 30 grep -aq 'SHFormatDrive [0-9A-F]*, 0x00000000,' "$SCRATCH/wine.log" || fail "no format call: $(grep -a Format "$SCRATCH/wine.log")"
stop_tovix
[ "$(ls "$SCRATCH/floppy")" = keep.txt ] && [ "$(cat "$SCRATCH/floppy/keep.txt")" = keep ] || fail "the drive's folder changed"

# Help: the topic search asks the help viewer for the program's help file's
# contents.
start_tovix "$BIN/tovix.exe"
out=$(probe wait TVantrelbyHalvek help-command "トピックの検索(H)") || fail "topic search: $out"
expect_line "$out" "help: 11 0 $(winpath "$BIN/tovix.hlp")" "topic search"
stop_tovix
echo ok
