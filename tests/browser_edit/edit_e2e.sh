#!/usr/bin/env bash
# The editing commands of the real program on real archives made by jlha and
# zip: delete rows and a folder, rename, new folder nodes, archive test, view,
# edit, test run, self-extractor and back; the results read back with lhasa
# and unzip and from the controls. Then refusals that must lose nothing, and
# the command strings from the recording libraries' journal.
source "$(dirname "$0")/../browser_list/e2e_common.sh"
src="$SCRATCH/src"
mkdir -p "$src/docs/img"
printf 'hello\r\n' >"$src/a.txt"
seq 1 2000 >"$src/b.txt"
printf '[Version]\r\n' >"$src/setup.inf"
seq 1 500 >"$src/docs/c.txt"
head -c 5000 /dev/urandom >"$src/docs/img/d.bin"
(cd "$src" && jlha a "$SCRATCH/master.lzh" a.txt b.txt setup.inf docs >/dev/null 2>&1)
(cd "$src" && zip -qr "$SCRATCH/master.zip" a.txt b.txt setup.inf docs)
regset() { winrun reg add "HKCU\\$SETTINGS_KEY\\$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }
sj() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
click() { winrun "$BIN/lvclick.exe" TVantrelbyHalvek "$1" >/dev/null || fail "click $1"; sleep 0.3; }
listings() { grep -c '^time listing' "$TRACE" || true; }
# run CAPTION: the menu command, then wait until the archive was listed again.
run() {
  local before
  before=$(listings)
  probe wait TVantrelbyHalvek command "$1" >/dev/null
  for _ in $(seq 150); do [ "$(listings)" -gt "$before" ] && break; sleep 0.1; done
  [ "$(listings)" -gt "$before" ] || fail "$1: no new listing: $(cat "$TRACE")"
  sleep 0.3
}
# cmd CAPTION: the menu command. The checks after it ask until it is done
# (the probe's questions overtake a command it posted).
cmd() { probe wait TVantrelbyHalvek command "$1" >/dev/null; }
rows() { probe wait TVantrelbyHalvek list | grep ' | ' | sed 's/^\* *//; s/ | .*//' | tr '\n' ' '; }
lzh_names() { lha l "$1" | sed '1,2d' | head -n -2 | awk '{print $NF}' | grep -v '/$' | sort | tr '\n' ' '; }
zip_names() { unzip -Z1 "$1" | grep -v '/$' | sort | tr '\n' ' '; }
open() {  # ARCHIVE: start on it with a fresh trace
  TRACE="$SCRATCH/t-$(basename "$1").txt"
  start_tovix "$BIN/tovix.exe" "$TRACE" "$(winpath "$1")"
}
traced() { grep -qF -- "$1" "$TRACE" || fail "$2: no trace line '$1' in: $(cat "$TRACE")"; }

for kind in lzh zip; do
  names=${kind}_names
  tester() { if [ $kind = lzh ]; then lha t "$1" >/dev/null; else unzip -tq "$1" >/dev/null; fi; }
  arc="$SCRATCH/arc.$kind"
  cp "$SCRATCH/master.$kind" "$arc"
  export TOVIX_ANSWERS="delete=yes;deletefolder=yes"
  open "$arc"
  # Two file rows (folder row first, then a.txt, b.txt, setup.inf).
  click 1,2
  run "削除(D)"
  [ "$(rows)" = "docs setup.inf " ] || fail "$kind rows after deleting files: $(rows)"
  [ "$($names "$arc")" = "docs/c.txt docs/img/d.bin setup.inf " ] || fail "$kind after deleting files: $($names "$arc")"
  tester "$arc" || fail "$kind: archive damaged after deleting files"
  traced "resultlog caption $(sj 'tovixの削除結果')" "$kind delete log"
  # A folder row takes everything below it.
  click 0
  run "削除(D)"
  [ "$(rows)" = "setup.inf " ] || fail "$kind rows after deleting a folder row: $(rows)"
  [ "$($names "$arc")" = "setup.inf " ] || fail "$kind after deleting a folder row: $($names "$arc")"
  stop_tovix
  # The folder from the tree: docs/img goes, docs/c.txt stays, and the
  # listing starts again at the root.
  cp "$SCRATCH/master.$kind" "$arc"
  open "$arc"
  probe wait TVantrelbyHalvek select-node "arc.$kind/docs/img" >/dev/null
  run "削除(D)"
  [ "$($names "$arc")" = "a.txt b.txt docs/c.txt setup.inf " ] || fail "$kind after deleting docs/img: $($names "$arc")"
  tree=$(probe wait TVantrelbyHalvek tree)
  [ "$tree" = "arc.$kind *
  docs" ] || fail "$kind tree after deleting docs/img: $tree"
  tester "$arc" || fail "$kind: archive damaged after deleting a folder"
  # Archive test: the library's log under the test caption.
  cmd "書庫の検査(T)"
  eventually 60 traced "resultlog caption $(sj 'tovixの検査結果')" "$kind check"
  eventually 10 grep -q '^resultlog| .*setup\.inf' "$TRACE" || fail "$kind check log: $(cat "$TRACE")"
  stop_tovix
done

# A tar whose last member is a ZIP is the tar: its own members are listed,
# and deleting one (which the tar library does not do) leaves it byte for byte.
mkdir -p "$SCRATCH/tz"
cp "$SCRATCH/master.zip" "$SCRATCH/tz/inner.zip"
printf 'hello\r\n' >"$SCRATCH/tz/a.txt"
tar -C "$SCRATCH/tz" -cf "$SCRATCH/tz.tar" a.txt inner.zip
cp "$SCRATCH/tz.tar" "$SCRATCH/tz-before.tar"
export TOVIX_ANSWERS="delete=yes"
open "$SCRATCH/tz.tar"
[ "$(rows)" = "a.txt inner.zip " ] || fail "tar ending in a ZIP lists as: $(rows)"
click 0
cmd "削除(D)"
stop_tovix
cmp -s "$SCRATCH/tz-before.tar" "$SCRATCH/tz.tar" || fail "deleting from a tar ending in a ZIP changed it"

# Rename (LHA): the library asks the new name; the folder stays selected.
arc="$SCRATCH/arc.lzh"
cp "$SCRATCH/master.lzh" "$arc"
export TOVIX_ANSWERS="none=1"
open "$arc"
probe wait TVantrelbyHalvek select-node "arc.lzh/docs" >/dev/null
click 1
# The library's own rename dialog, answered through its field.
probe dialog 名前の変更 20000 type 0 renamed.txt click OK >/dev/null &
asker=$!
run "名前の変更(N)..."
wait $asker || fail "the library's rename dialog"
[ "$(lzh_names "$arc")" = "a.txt b.txt docs/img/d.bin docs/renamed.txt setup.inf " ] ||
  fail "after rename: $(lzh_names "$arc")"
[ "$(rows)" = "img renamed.txt " ] || fail "rows after rename: $(rows)"
lha t "$arc" >/dev/null || fail "archive damaged after rename"
traced "resultlog caption $(sj 'tovixの名前の変更結果')" "rename log"
stop_tovix

# New folder nodes: added under the selected node; a name with a separator,
# or one that exists in another case, is ignored; nothing touches the file.
cp "$SCRATCH/master.zip" "$SCRATCH/nf.zip"
export TOVIX_ANSWERS="deletefolder=yes"
open "$SCRATCH/nf.zip"
# The real dialog, a name typed and OK, or Cancel.
for name in 新しいフォルダ a/b DOCS -; do
  probe wait TVantrelbyHalvek command "フォルダ(F)..." >/dev/null
  if [ "$name" = - ]; then
    probe wait TVantrelbyHalvek dialog "新規フォルダ名の入力" type 0 ignored click キャンセル >/dev/null
  else
    probe wait TVantrelbyHalvek dialog "新規フォルダ名の入力" type 0 "$name" click OK >/dev/null
  fi || fail "new-folder dialog for $name"
  probe wait TVantrelbyHalvek waitgone TFolDlg 10000 sleep 500 >/dev/null || fail "new-folder dialog not closed"
done
tree=$(probe wait TVantrelbyHalvek tree)
[ "$tree" = "nf.zip *
  docs
    img
  新しいフォルダ" ] || fail "tree after new folders: $tree"
cmp -s "$SCRATCH/master.zip" "$SCRATCH/nf.zip" || fail "new folder changed the archive"
# Deleting such a node removes it from the tree and asks the library nothing.
probe wait TVantrelbyHalvek select-node "nf.zip/新しいフォルダ" >/dev/null
cmd "削除(D)"
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

# View, edit and test run (LHA).
arc="$SCRATCH/arc.lzh"
cp "$SCRATCH/master.lzh" "$arc"
export TOVIX_ANSWERS="edit=change|keep"
open "$arc"
click 1
cmd "表示(V)"
eventually 60 grep -q '^shell: - ' "$TRACE"
view=$(grep '^shell: - ' "$TRACE" | tail -1 | sed 's/^shell: - //' | tr -d '\r')
[[ "$view" == *'\tovix.'*'\a.txt' ]] || fail "view: $(cat "$TRACE")"
unix=$(winrun winepath -u "$view" 2>/dev/null | tr -d '\r')
cmp -s "$src/a.txt" "$unix" || fail "viewed copy differs: $unix"
# A newer file of the entry's name in the temporary folder is not the entry:
# the editor gets the real one, and that file stays as it was.
stale="$(dirname "$(dirname "$unix")")/a.txt"
printf 'stale\r\n' >"$stale" && touch -d '2030-01-01' "$stale"
run "編集(E)"
grep -q '^failed: ' "$TRACE" && fail "edit refused: $(cat "$TRACE")"
[ "$(cat "$stale")" = $'stale\r' ] || fail "the stale file was touched: $(od -c "$stale" | head -2)"
rm "$stale"
grep -q '^edit: .* open ".*\\a\.txt"$' "$TRACE" || fail "edit: $(cat "$TRACE")"
mkdir -p "$SCRATCH/edited"
(cd "$SCRATCH/edited" && lha xq "$arc" a.txt)
printf 'hello\r\nedited\r\n' >"$SCRATCH/want.txt"
cmp -s "$SCRATCH/want.txt" "$SCRATCH/edited/a.txt" || fail "edited entry: $(od -c "$SCRATCH/edited/a.txt")"
lha t "$arc" >/dev/null || fail "archive damaged after edit"
[ "$(lzh_names "$arc")" = "a.txt b.txt docs/c.txt docs/img/d.bin setup.inf " ] || fail "after edit: $(lzh_names "$arc")"
# Left alone by the editor: not put back; the taken-out copy goes either way.
cp "$arc" "$SCRATCH/before-edit.lzh"
click 1
cmd "編集(E)"
second_edit() { [ "$(grep -c '^edit: ' "$TRACE")" = 2 ] || fail "second edit not started: $(cat "$TRACE")"; }
eventually 60 second_edit
temp=$(grep '^edit: ' "$TRACE" | tail -1 | sed 's/.* open "//; s/"$//' | tr -d '\r')
temp=$(winrun winepath -u "$temp" 2>/dev/null | tr -d '\r')
copy_gone() { [ ! -e "$temp" ] || fail "taken-out copy left: $temp"; }
eventually 30 copy_gone
[ -e "$(dirname "$temp")" ] && fail "the edit's work folder was left: $(dirname "$temp")"
cmp -s "$SCRATCH/before-edit.lzh" "$arc" || fail "an unchanged entry was put back"
click 3
cmd "テスト実行(T)"
eventually 60 grep -q '^shell: install ' "$TRACE"
line=$(grep '^shell: install ' "$TRACE" | tail -1 | tr -d '\r')
[[ "$line" == *'\tovix.'*'\setup.inf in '*'\tovix.'*'\' ]] || fail "test run: $(cat "$TRACE")"
work=$(winrun winepath -u "$(sed 's/^shell: install //; s/\\setup\.inf in .*//' <<<"$line")" 2>/dev/null | tr -d '\r')
cmp -s "$src/docs/img/d.bin" "$work/docs/img/d.bin" || fail "test run folder lacks the archive's files: $work"
stop_tovix
[ -e "$work" ] && fail "test run folder left after exit: $work"
[ -e "$unix" ] && fail "viewed file left after exit: $unix"

# The root selected: Delete removes the archive file itself (Shift: not to
# the recycle bin) and the window closes it; a "No" keeps it. Explorer opens
# the archive's folder.
for answer in no yes; do
  cp "$SCRATCH/master.zip" "$SCRATCH/gone.zip"
  export TOVIX_ANSWERS="deletearchive=$answer;shift=0|1"
  open "$SCRATCH/gone.zip"
  cmd "Explorerの起動(E)"
  eventually 60 traced "shell: - Explorer.exe /e,\"$(winpath "$SCRATCH")\\\"" "explorer"
  cmd "削除(D)"
  eventually 60 grep -q '^deletearchive' "$TRACE"
  if [ $answer = no ]; then
    stop_tovix
    cmp -s "$SCRATCH/master.zip" "$SCRATCH/gone.zip" || fail "archive changed after No"
  else
    archive_gone() { [ ! -e "$SCRATCH/gone.zip" ] || fail "archive file not deleted"; }
    eventually 30 archive_gone
    closed() {
      local out
      out=$(probe wait TVantrelbyHalvek caption tree list)
      [ "$out" = "caption: Tovix" ] || fail "window after deleting the archive: $out"
    }
    eventually 30 closed
  fi
  stop_tovix
done

# Self-extractor and back, with the archive deleted after making it: the
# window then holds the program and offers the way back.
for kind in lzh zip; do
  arc="$SCRATCH/sfx.$kind"
  cp "$SCRATCH/master.$kind" "$arc"
  mkdir -p "$SCRATCH/sfxout-$kind" "$SCRATCH/back-$kind"
  regset Other LzhDelete 1
  export TOVIX_ANSWERS="folder=$(winpath "$SCRATCH/sfxout-$kind")|$(winpath "$SCRATCH/back-$kind");n1=0"
  open "$arc"
  cmd "自己解凍書庫の作成(S)..."
  # Its log comes once the program is made and the archive is gone.
  eventually 60 traced "resultlog caption $(sj 'tovixの自己解凍書庫作成結果')" "$kind sfx log"
  exe="$SCRATCH/sfxout-$kind/sfx.exe"
  [ -f "$exe" ] || fail "$kind: no program made: $(cat "$TRACE")"
  [ -e "$arc" ] && fail "$kind: archive not deleted with Other\\LzhDelete"
  out=$(probe wait TVantrelbyHalvek caption menu "書庫に変更(R)..." menu "自己解凍書庫の作成(S)...")
  expect_line "$out" "caption: sfx.exe ($(winpath "$SCRATCH/sfxout-$kind")) - Tovix" "$kind caption"
  grep -q "書庫に変更.*disabled" <<<"$out" && fail "$kind: way back not offered: $out"
  grep -q "自己解凍書庫の作成.*disabled" <<<"$out" || fail "$kind: making again offered: $out"
  # The program itself unpacks everything.
  if [ $kind = lzh ]; then
    winrun "$exe" "/D=$(winpath "$SCRATCH/unsfx-$kind")" >/dev/null 2>&1 || fail "lzh program failed"
  else
    unzip -tq "$exe" >/dev/null 2>&1 || fail "zip program: unzip -t fails"
    unzip -q "$exe" -d "$SCRATCH/unsfx-$kind" >/dev/null 2>&1 || true
  fi
  cmp -s "$src/docs/img/d.bin" "$SCRATCH/unsfx-$kind/docs/img/d.bin" || fail "$kind program's contents"
  cmd "書庫に変更(R)..."
  eventually 60 traced "resultlog caption $(sj 'tovixの書庫に変更の結果')" "$kind back log"
  back="$SCRATCH/back-$kind/sfx.$kind"
  [ -f "$back" ] || fail "$kind: no archive made back: $(cat "$TRACE")"
  [ "$($kind"_names" "$back")" = "a.txt b.txt docs/c.txt docs/img/d.bin setup.inf " ] ||
    fail "$kind back: $($kind"_names" "$back")"
  if [ $kind = lzh ]; then lha t "$back" >/dev/null; else unzip -tq "$back" >/dev/null; fi || fail "$kind back damaged"
  expect_line "$(probe wait TVantrelbyHalvek caption)" "caption: sfx.$kind ($(winpath "$SCRATCH/back-$kind")) - Tovix" \
    "$kind caption back"
  stop_tovix
  regset Other LzhDelete 0
done

# Refusals lose nothing. A read-only archive: the delete is refused with a message.
for kind in lzh zip; do
  arc="$SCRATCH/ro.$kind"
  cp "$SCRATCH/master.$kind" "$arc"
  chmod a-w "$arc"
  export TOVIX_ANSWERS="delete=yes"
  open "$arc"
  click 1
  cmd "削除(D)"
  eventually 60 traced "readonly: $(sj '書庫が読み込み専用のため変更できません。')" "$kind read-only"
  cmp -s "$SCRATCH/master.$kind" "$arc" || fail "$kind read-only archive changed"
  [ "$(rows)" = "docs a.txt b.txt setup.inf " ] || fail "$kind read-only rows: $(rows)"
  stop_tovix
  chmod u+w "$arc"
done
# No stub for a ZIP self-extractor: a message, no program, the archive kept.
nostub="$SCRATCH/nostub"
mkdir -p "$nostub"
cp "$BIN"/tovix.exe "$BIN"/*.dll "$nostub/"
cp "$SCRATCH/master.zip" "$SCRATCH/ns.zip"
export TOVIX_ANSWERS="folder=$(winpath "$SCRATCH/nsout");n1=0"
mkdir -p "$SCRATCH/nsout"
TRACE="$SCRATCH/t-nostub.txt"
start_tovix "$nostub/tovix.exe" "$TRACE" "$(winpath "$SCRATCH/ns.zip")"
# The engine's message box, answered through its button.
probe answer OK 20000 > "$SCRATCH/nostub.msg" &
asker=$!
cmd "自己解凍書庫の作成(S)..."
wait $asker || fail "missing stub: no message box"
grep -qF "Sfx32gui.dat が見つかりませんでした。" "$SCRATCH/nostub.msg" || fail "missing stub: $(cat "$SCRATCH/nostub.msg")"
stop_tovix
[ -z "$(ls "$SCRATCH/nsout")" ] || fail "something made without a stub: $(ls "$SCRATCH/nsout")"
cmp -s "$SCRATCH/master.zip" "$SCRATCH/ns.zip" || fail "archive changed without a stub"
# A format without self-extractors (TAR): the command is not offered, and
# posting it anyway makes nothing.
(cd "$src" && tar cf "$SCRATCH/t.tar" a.txt)
cp "$SCRATCH/t.tar" "$SCRATCH/t-copy.tar"
open "$SCRATCH/t.tar"
grep -q 'disabled' <<<"$(probe wait TVantrelbyHalvek menu "自己解凍書庫の作成(S)...")" || fail "tar: sfx offered"
cmd "自己解凍書庫の作成(S)..."
# The close is taken after the command: nothing more can come once it ended.
stop_tovix
[ -z "$(ls "$SCRATCH/nsout")" ] || fail "tar: something made"
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
export TOVIX_ANSWERS="delete=yes;deletefolder=yes"
TRACE="$SCRATCH/t-rec.txt"
start_tovix "$rec/tovix.exe" "$TRACE" "$A\\r.lzh"
click 1,2
run "削除(D)"
expect_cmd "d -p \"$A\\r.lzh\" \"a.txt\" \"b.txt\"" "delete file rows"
click 0
run "削除(D)"
expect_cmd "d -p \"$A\\r.lzh\" \"docs\\*.*\"" "delete a folder row"
probe wait TVantrelbyHalvek command "すべて選択(A)" >/dev/null
run "削除(D)"
expect_cmd "d -p \"$A\\r.lzh\" \"*.*\"" "delete every row"
click 0,2
run "名前の変更(N)..."
expect_cmd "n -p \"$A\\r.lzh\" \"docs\\*.*\" \"b.txt\"" "rename rows"
probe wait TVantrelbyHalvek command "すべて選択(A)" >/dev/null
run "名前の変更(N)..."
expect_cmd "n -p \"$A\\r.lzh\" \"*.*\"" "rename every row"
cmd "書庫の検査(T)"
eventually 60 expect_cmd "t \"$A\\r.lzh\"" "archive test"
stop_tovix
# An empty entry is not opened; Shift opens with the viewer setting.
export TOVIX_ANSWERS="shift=0|1"
start_tovix "$rec/tovix.exe" "$TRACE" "$A\\r.lzh"
click 3
cmd "表示(V)"
click 1
cmd "表示(V)"
eventually 60 grep -q '^shell: - notepad .*\\tovix\.[0-9]*\\a\.txt' "$TRACE" || fail "shift view: $(cat "$TRACE")"
# The first command was done before the second: it opened nothing.
[ "$(grep -c '^shell: ' "$TRACE")" = 1 ] || fail "empty entry opened: $(cat "$TRACE")"
stop_tovix
# A BGA test whose log is empty says OK or NG by the answer alone.
export REC_bga32_CHECK="r.gza" REC_bga32_ENTRIES="$(winpath "$SCRATCH/entries.txt")" TOVIX_ANSWERS="none=1"
echo x >"$SCRATCH/r.gza"
for rc in 0:OK 1:NG; do
  export REC_bga32_RC=${rc%:*}
  start_tovix "$rec/tovix.exe" "$TRACE" "$A\\r.gza"
  cmd "書庫の検査(T)"
  eventually 60 traced "resultlog| ${rc#*:}" "bga test answer ${rc%:*}"
  expect_cmd "t \"$A\\r.gza\"" "bga test"
  stop_tovix
done
unset REC_bga32_RC
export TOVIX_ANSWERS="delete=yes;deletefolder=yes"
# The folder from the tree: its "*.*", without the whole-path switch.
start_tovix "$rec/tovix.exe" "$TRACE" "$A\\r.lzh"
probe wait TVantrelbyHalvek select-node "r.lzh/docs" >/dev/null
run "削除(D)"
expect_cmd "d -r1 \"$A\\r.lzh\" \"docs/*.*\"" "delete the tree's folder"
stop_tovix
echo ok
