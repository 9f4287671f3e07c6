#!/usr/bin/env bash
# The real program packs real files with the stand-in libraries: from the
# command line into new archives of each kind, through the pack command and
# its dialogs, and into an open archive (at its root and below a folder).
# Debian's tools read the results byte for byte. Then the command strings
# from the recording libraries, and failures that must lose nothing. Every
# window is the real one: the file dialogs get their type chosen and the
# path typed, questions and messages are answered by their buttons, the
# result log is read and closed.
source "$(dirname "$0")/../browser_edit/ui_common.sh"
SETTINGS_KEY=${SETTINGS_KEY:-'software\halvek\Tovix'}
src="$SCRATCH/src"
mkdir -p "$src/docs/img" "$SCRATCH/out"
printf 'hello\r\n' >"$src/a.txt"
seq 1 3000 >"$src/docs/b.txt"
head -c 20000 /dev/urandom >"$src/docs/img/c.bin"
mkdir -p "$SCRATCH/cabsrc"
head -c 3000000 /dev/urandom >"$SCRATCH/cabsrc/big.bin"
touch -d '2004-03-05 14:07:58' "$src/a.txt" "$src/docs/b.txt" "$src/docs/img/c.bin"
touch -d '2003-01-01 00:00:00' "$SCRATCH/cabsrc/big.bin"
cp -p "$src/a.txt" "$SCRATCH/cabsrc/"
S=$(winpath "$src") O=$(winpath "$SCRATCH/out")
reg() { winrun reg add "HKCU\\$SETTINGS_KEY\\Pack" /v "$1" /d "$2" /f >/dev/null 2>&1; }
regclear() { winrun reg delete "HKCU\\$SETTINGS_KEY" /f >/dev/null 2>&1 || true; }
SAVE="作成書庫ﾌｧｲﾙの入力" OPEN="圧縮ﾌｧｲﾙの選択"
# The rows of the save dialog's type box (every library present).
LHA=0 ZIP=1 CAB=2 CABS=3 TAR=4 TGZ=5 GZ=6 TBZ=7 BZ=8
# named CAPTION: waits until the file dialog's name field has the focus (it
# takes it after coming up).
name_focused() { probe dialog "$1" 500 controls 2>/dev/null | grep -q '^Edit id=1148 \[focus\]'; }
named() { wait_until 30 "a $1 dialog with its name field focused" name_focused "$1"; }
# closed CAPTION: waits until that dialog is gone.
dialog_gone() { ! probe dialog "$1" 100 >/dev/null 2>&1; }
closed() { wait_until 20 "$1 closed" dialog_gone "$1"; }
# save_into PATH [ROW]: answers the save dialog packing asks with: the type
# ROW chosen, PATH typed. Its folder and type as it came up go to
# $SCRATCH/save.txt.
save_into() {
  named "$SAVE"
  probe dialog "$SAVE" 1000 folder controls | grep -E '^folder: |^ComboBox id=1136 ' >"$SCRATCH/save.txt" || true
  [ -z "${2:-}" ] || probe dialog "$SAVE" 1000 choose 2 "$2" >/dev/null || fail "no type row $2"
  probe dialog "$SAVE" 1000 keys "$1" vk enter >/dev/null
  closed "$SAVE"
}
# came_up FOLDER TYPE WHAT: the save dialog came up in FOLDER with TYPE.
came_up() {
  grep -qxF "folder: $1" "$SCRATCH/save.txt" && grep -q "^ComboBox id=1136 $2 rows=" "$SCRATCH/save.txt" ||
    fail "$3: the save dialog came up as: $(cat "$SCRATCH/save.txt")"
}
# shows_folder DIR: the open dialog shows the folder DIR.
shows_folder() { probe dialog "$OPEN" 1000 folder | grep -qxF "folder: $1"; }
# open_files PATH: answers the pack command's file dialog; PATH may be a
# folder followed by names, which are then chosen together in it.
open_files() {
  named "$OPEN"
  if [ $# -gt 1 ]; then
    local dir=$1 names=""; shift
    probe dialog "$OPEN" 1000 keys "$dir" vk enter >/dev/null
    wait_until 10 "the open dialog in $dir" shows_folder "$dir"
    for n in "$@"; do names+="\"$n\" "; done
    named "$OPEN"
    probe dialog "$OPEN" 1000 keys "$names" vk enter >/dev/null
  else
    probe dialog "$OPEN" 1000 keys "$1" vk enter >/dev/null
  fi
  closed "$OPEN"
}
# logged: the result log shown after packing, read and closed with OK.
logged() {
  probe dialog TDispDlg 60000 caption memo click OK >"$SCRATCH/log.txt" || fail "no result log: $(cat "$SCRATCH/log.txt")"
  grep -qxF 'caption: tovixの圧縮結果' "$SCRATCH/log.txt" || fail "result log: $(cat "$SCRATCH/log.txt")"
}
# unlogged MS: no result log comes within MS.
unlogged() { ! probe dialog TDispDlg "$1" >/dev/null 2>&1 || fail "a result log was shown"; }
# Packs at start-up and ends by itself (Pack\Exit): EXE ARGS..., with the
# windows answered by the function $ANSWER (save_into ... by default).
pack_at_start() {
  local exe=$1 pid; shift
  (cd "$src" && timeout 120 $WINE_RUN "$exe" "$@" >/dev/null 2>&1) &
  pid=$!
  $ANSWER
  wait "$pid" || fail "start-up pack did not end: $*"
}
# The pack command of the running program.
pack_cmd() { probe wait TVantrelbyHalvek command "圧縮(P)..." >/dev/null; }
same_tree() { diff -r "$1" "$2" >/dev/null || fail "$3: contents differ: $(diff -rq "$1" "$2" | head -5)"; }
fresh() { rm -rf "$1"; mkdir -p "$1"; }

# ---- Start-up path: a.txt and the folder docs into each kind of archive.
# The save dialog comes up in the first file's folder with the first type;
# the result log is shown. (The pack sound is not checked: Wine here plays
# no sound.)
regclear
reg Exit 1
check="$SCRATCH/check"
for kind in $LHA:new.lzh $ZIP:new.zip $CAB:new.cab $TAR:new.tar $TGZ:new.tar.gz $TBZ:new.tar.bz2; do
  row=${kind%%:*} name=${kind#*:}
  ANSWER="eval save_into '$O\\new' $row; logged"
  pack_at_start "$BIN/tovix.exe" a.txt docs
  came_up "$S" "Lha ファイル" "$name"
  f="$SCRATCH/out/$name"
  [ -f "$f" ] || fail "$name not made: $(ls "$SCRATCH/out")"
  fresh "$check"
  case $name in
    *.lzh)
      lhasa t "$f" >/dev/null || fail "lhasa t $name"
      jlha t "$f" >/dev/null 2>&1 || fail "jlha t $name"
      (cd "$check" && lhasa xq "$f") || fail "lhasa x $name" ;;
    *.zip)
      unzip -tq "$f" >/dev/null || fail "unzip -t $name"
      unzip -q "$f" -d "$check" || fail "unzip $name" ;;
    *.cab)
      cabextract -tq "$f" >/dev/null || fail "cabextract -t $name"
      cabextract -q -d "$check" "$f" >/dev/null || fail "cabextract $name" ;;
    *) tar tf "$f" >/dev/null || fail "tar t $name"
      tar xf "$f" -C "$check" || fail "tar x $name" ;;
  esac
  # ZIP keeps no folder entries; the others may have them: compare files.
  [ "$(cd "$check" && find . -type f | sort)" = "$(printf '%s\n' ./a.txt ./docs/b.txt ./docs/img/c.bin)" ] ||
    fail "$name holds: $(cd "$check" && find . | sort | tr '\n' ' ')"
  same_tree "$src" "$check" "$name"
done
file "$SCRATCH/out/new.tar.gz" | grep -q gzip || fail "new.tar.gz is no gzip file"
file "$SCRATCH/out/new.tar.bz2" | grep -q bzip2 || fail "new.tar.bz2 is no bzip2 file"
# Pack\TGZ names the gzip tar ".tgz".
reg TGZ 1
ANSWER="eval save_into '$O\\second.tar.gz' $TGZ; logged"
pack_at_start "$BIN/tovix.exe" a.txt
[ -f "$SCRATCH/out/second.tgz" ] || fail "no second.tgz: $(ls "$SCRATCH/out")"
tar tzf "$SCRATCH/out/second.tgz" | grep -qx a.txt || fail "second.tgz"

# One gzip and one bzip2 file per input file; the folder is passed over. An
# existing target is asked about with "all" offered; cancel at the second
# keeps the first one made, "all" replaces every one without asking again.
ANSWER="save_into $O\\x $GZ"
pack_at_start "$BIN/tovix.exe" a.txt docs docs/b.txt
cmp -s <(gzip -dc "$SCRATCH/out/a.txt.gz") "$src/a.txt" || fail "a.txt.gz"
cmp -s <(gzip -dc "$SCRATCH/out/b.txt.gz") "$src/docs/b.txt" || fail "b.txt.gz"
[ -e "$SCRATCH/out/docs.gz" ] && fail "a folder was packed into a gzip file"
ANSWER="save_into $O\\x $BZ"
pack_at_start "$BIN/tovix.exe" a.txt
cmp -s <(bzip2 -dc "$SCRATCH/out/a.txt.bz2") "$src/a.txt" || fail "a.txt.bz2"
cp "$SCRATCH/out/b.txt.gz" "$SCRATCH/b-before.gz"
echo changed >"$src/c.txt"
printf 'old' | gzip >"$SCRATCH/out/c.txt.gz"
yes_then_cancel() {
  save_into "$O\\x" "$GZ"
  probe dialog 警告 20000 controls answer "はい(Y)" answer "キャンセル" >"$SCRATCH/asked.txt" || fail "questions: $(cat "$SCRATCH/asked.txt")"
}
ANSWER=yes_then_cancel
pack_at_start "$BIN/tovix.exe" c.txt docs/b.txt
grep -q '^msgbox: 警告 | c\.txt\.gz はすでに存在しています。' "$SCRATCH/asked.txt" &&
  grep -q '^msgbox: 警告 | b\.txt\.gz はすでに' "$SCRATCH/asked.txt" &&
  grep -qxF 'Button id=8 すべて(&A)' "$SCRATCH/asked.txt" || fail "no questions with all: $(cat "$SCRATCH/asked.txt")"
cmp -s <(gzip -dc "$SCRATCH/out/c.txt.gz") "$src/c.txt" || fail "c.txt.gz not replaced"
cmp -s "$SCRATCH/b-before.gz" "$SCRATCH/out/b.txt.gz" || fail "b.txt.gz touched after cancel"
printf 'old' | gzip >"$SCRATCH/out/c.txt.gz"
ANSWER="eval save_into '$O\\x' $GZ; probe dialog 警告 20000 answer 'すべて(A)' >'$SCRATCH/asked.txt'"
pack_at_start "$BIN/tovix.exe" c.txt docs/b.txt
[ "$(grep -c '^msgbox: ' "$SCRATCH/asked.txt")" = 1 ] || fail "asked again after all: $(cat "$SCRATCH/asked.txt")"
cmp -s <(gzip -dc "$SCRATCH/out/c.txt.gz") "$src/c.txt" && cmp -s <(gzip -dc "$SCRATCH/out/b.txt.gz") "$src/docs/b.txt" ||
  fail "not every file replaced after all"
rm "$src/c.txt"

# ---- The pack command: two files chosen, a spanned cabinet whose volumes
# all get the newest entry's time; the window lists the new archive.
regclear
reg SetDate 1
reg CabStyle 1
reg CabLevel 18
start_tovix "$BIN/tovix.exe"
pack_cmd
open_files "$(winpath "$SCRATCH/cabsrc")" big.bin a.txt
save_into "$O\\set" "$CABS"
logged
shows_caption() { [ "$(probe wait TVantrelbyHalvek caption)" = "caption: $1" ]; }
eventually 10 shows_caption "set01.cab ($O) - Tovix" || fail "caption after packing: $(probe wait TVantrelbyHalvek caption)"
# The times are set once the listing is back.
dated() { [ "$(stat -c %Y "$SCRATCH/out/set$1.cab")" = "$(stat -c %Y "$src/a.txt")" ]; }
for v in 01 02 03; do
  [ -f "$SCRATCH/out/set$v.cab" ] || fail "no volume set$v.cab: $(ls "$SCRATCH/out")"
  eventually 10 dated $v || fail "set$v.cab time not the newest entry's"
done
stop_tovix
fresh "$check"
cabextract -q -d "$check" "$SCRATCH/out/set01.cab" >/dev/null || fail "cabextract set01.cab"
cmp -s "$check/big.bin" "$SCRATCH/cabsrc/big.bin" && cmp -s "$check/a.txt" "$src/a.txt" || fail "spanned cabinet contents"

# ---- Adding to an open archive: at the root, then below the selected
# folder, with no save dialog asked.
regclear
(cd "$src" && jlha a "$SCRATCH/arc.lzh" a.txt docs >/dev/null 2>&1)
(cd "$src" && zip -qr "$SCRATCH/arc.zip" a.txt docs)
printf 'new one\n' >"$SCRATCH/new1.txt"
printf 'new two\n' >"$SCRATCH/new2.txt"
# added FILE: the pack command adds FILE; the result log is closed.
added() {
  pack_cmd
  open_files "$(winpath "$1")"
  logged
}
lists() { probe wait TVantrelbyHalvek list | grep -qF "$1"; }
for arc in arc.lzh arc.zip; do
  start_tovix "$BIN/tovix.exe" "$(winpath "$SCRATCH/$arc")"
  added "$SCRATCH/new1.txt"
  eventually 10 probe wait TVantrelbyHalvek select-node "$arc/docs/img" >/dev/null || fail "$arc: select docs/img"
  added "$SCRATCH/new2.txt"
  eventually 10 lists new2.txt || fail "$arc: new2.txt not listed: $(probe wait TVantrelbyHalvek list)"
  out=$(probe wait TVantrelbyHalvek tree list)
  expect_line "$out" "    img *" "$arc: the folder stays selected"
  stop_tovix
  fresh "$check"
  if [ "$arc" = arc.lzh ]; then
    lhasa t "$SCRATCH/$arc" >/dev/null || fail "lhasa t after adding"
    (cd "$check" && lhasa xq "$SCRATCH/$arc") || fail "lhasa x after adding"
  else
    unzip -tq "$SCRATCH/$arc" >/dev/null || fail "unzip -t after adding"
    unzip -q "$SCRATCH/$arc" -d "$check" || fail "unzip after adding"
  fi
  [ "$(cd "$check" && find . -type f | sort | tr '\n' ' ')" = \
    "./a.txt ./docs/b.txt ./docs/img/c.bin ./docs/img/new2.txt ./new1.txt " ] ||
    fail "$arc after adding: $(cd "$check" && find . -type f | sort | tr '\n' ' ')"
  cmp -s "$check/new1.txt" "$SCRATCH/new1.txt" && cmp -s "$check/docs/img/new2.txt" "$SCRATCH/new2.txt" &&
    cmp -s "$check/docs/img/c.bin" "$src/docs/img/c.bin" || fail "$arc: contents after adding"
done
# A read-only open archive: adding is refused with a message, as delete is;
# the archive stays byte for byte and read-only.
for arc in arc.lzh arc.zip; do
  cp "$SCRATCH/$arc" "$SCRATCH/ro-$arc"
  cp "$SCRATCH/$arc" "$SCRATCH/ro-master-$arc"
  chmod a-w "$SCRATCH/ro-$arc"
  start_tovix "$BIN/tovix.exe" "$(winpath "$SCRATCH/ro-$arc")"
  pack_cmd
  open_files "$(winpath "$SCRATCH/new1.txt")"
  probe wait TVantrelbyHalvek answer OK >"$SCRATCH/asked.txt" || fail "$arc: no refusal: $(cat "$SCRATCH/asked.txt")"
  grep -q '^msgbox: Tovix | 書庫が読み込み専用のため変更できません。' "$SCRATCH/asked.txt" ||
    fail "$arc: refusal: $(cat "$SCRATCH/asked.txt")"
  stop_tovix
  cmp -s "$SCRATCH/ro-master-$arc" "$SCRATCH/ro-$arc" || fail "$arc: read-only archive changed"
  [ -z "$(find "$SCRATCH/ro-$arc" -perm -u=w)" ] || fail "$arc: read-only bit cleared"
  chmod u+w "$SCRATCH/ro-$arc"
done
# A folder node made by the new-folder command takes what is added below it.
(cd "$src" && zip -qr "$SCRATCH/nf.zip" a.txt docs)
start_tovix "$BIN/tovix.exe" "$(winpath "$SCRATCH/nf.zip")"
probe wait TVantrelbyHalvek select-node "nf.zip/docs" command "フォルダ(F)..." dialog "新規フォルダ名の入力" \
  type 0 fresh click OK waitgone TFolDlg 10000 >/dev/null || fail "new-folder dialog"
probe wait TVantrelbyHalvek select-node "nf.zip/docs/fresh" >/dev/null || fail "no new folder node"
added "$SCRATCH/new1.txt"
stop_tovix
unzip -Z1 "$SCRATCH/nf.zip" | grep -qx 'docs/fresh/new1.txt' ||
  fail "added below a new folder node: $(unzip -Z1 "$SCRATCH/nf.zip" | tr '\n' ' ')"
left=$(find "$TOVIX_PREFIX/drive_c/users" -maxdepth 6 -name 'tovix.*' 2>/dev/null)
[ -z "$left" ] || fail "work folders left: $left"

# ---- Failures lose nothing; they show the log even with Pack\HideDlg on.
reg HideDlg 1
# A target folder that does not exist: a message, nothing made. (The ZIP
# added to last left the type ZIP preset in the save dialog.)
start_tovix "$BIN/tovix.exe"
pack_cmd
open_files "$S\\a.txt"
save_into "$O\\nowhere\\x" "$LHA"
came_up "$S" "Zip ファイル" "after adding to a ZIP archive"
logged
grep -qF "$O\\nowhere\\x.lzh" "$SCRATCH/log.txt" || fail "no message for a missing folder: $(cat "$SCRATCH/log.txt")"
stop_tovix
[ -e "$SCRATCH/out/nowhere" ] && fail "a missing folder was made"
# Replacing an archive whose new packing fails keeps the old one.
cp "$SCRATCH/arc.lzh" "$SCRATCH/out/keep.lzh"
cp "$SCRATCH/arc.lzh" "$SCRATCH/keep-before.lzh"
# keep FILE ANSWER: packs FILE into keep.lzh, ANSWER pressed at the
# question; a FILE named gone.txt is removed while the question is shown.
keep() {
  start_tovix "$BIN/tovix.exe"
  pack_cmd
  [ "$1" != gone.txt ] || echo gone >"$src/gone.txt"
  open_files "$S\\$1"
  save_into "$O\\keep" "$LHA"
  probe wait TVantrelbyHalvek dialog Tovix 20000 >/dev/null || fail "not asked about keep.lzh"
  rm -f "$src/gone.txt"
  probe wait TVantrelbyHalvek answer "$2" >"$SCRATCH/asked.txt" || fail "not asked about keep.lzh: $(cat "$SCRATCH/asked.txt")"
  grep -q '^msgbox: Tovix | ファイルはすでに存在しています。' "$SCRATCH/asked.txt" || fail "question: $(cat "$SCRATCH/asked.txt")"
}
keep gone.txt "はい(Y)"
logged
grep -q 'gone\.txt' "$SCRATCH/log.txt" || fail "failure log: $(cat "$SCRATCH/log.txt")"
stop_tovix
cmp -s "$SCRATCH/keep-before.lzh" "$SCRATCH/out/keep.lzh" || fail "keep.lzh lost after a failed packing"
ls "$SCRATCH/out" | grep -q 'tovix-old' && fail "a set-aside copy was left"
# Replaced when it works, and the hidden log stays hidden.
keep a.txt "はい(Y)"
unlogged 3000
stop_tovix
[ "$(lhasa l "$SCRATCH/out/keep.lzh" | grep -c 'a.txt\|b.txt\|c.bin')" = 1 ] || fail "keep.lzh not replaced: $(lhasa l "$SCRATCH/out/keep.lzh")"
ls "$SCRATCH/out" | grep -q 'tovix-old' && fail "the replaced archive was left beside"
cp "$SCRATCH/keep-before.lzh" "$SCRATCH/out/keep.lzh"
# Cancel at that question packs nothing.
keep a.txt "キャンセル"
stop_tovix
cmp -s "$SCRATCH/keep-before.lzh" "$SCRATCH/out/keep.lzh" || fail "keep.lzh changed after cancel"
# No at that question for a tar or a compressed tar: the TAR library makes
# them only anew, so the one there is left byte for byte, and the user told.
for kind in $TAR:keep.tar $TGZ:keep.tar.gz; do
  row=${kind%%:*} name=${kind#*:}
  if [ "$name" = keep.tar ]; then tar -C "$src" -cf "$SCRATCH/out/$name" a.txt; else tar -C "$src" -czf "$SCRATCH/out/$name" a.txt; fi
  cp "$SCRATCH/out/$name" "$SCRATCH/$name.before"
  start_tovix "$BIN/tovix.exe"
  pack_cmd
  open_files "$S\\docs\\b.txt"
  save_into "$O\\keep" "$row"
  probe wait TVantrelbyHalvek dialog Tovix 20000 >/dev/null || fail "$name: not asked"
  probe wait TVantrelbyHalvek answer "いいえ(N)" >"$SCRATCH/asked.txt" || fail "$name: not asked: $(cat "$SCRATCH/asked.txt")"
  grep -q '^msgbox: Tovix | ファイルはすでに存在しています。' "$SCRATCH/asked.txt" || fail "$name: question: $(cat "$SCRATCH/asked.txt")"
  probe wait TVantrelbyHalvek answer OK >"$SCRATCH/told.txt" || fail "$name: not told: $(cat "$SCRATCH/told.txt")"
  grep -q 'この形式の書庫にはファイルを追加できません' "$SCRATCH/told.txt" || fail "$name: told: $(cat "$SCRATCH/told.txt")"
  stop_tovix
  cmp -s "$SCRATCH/$name.before" "$SCRATCH/out/$name" || fail "$name changed after No"
done
# One gzip file per input with nothing made (Cancel or No at the question):
# the window stays on the archive it had, as its properties show.
tar -C "$src" -cf "$SCRATCH/old.tar" a.txt
printf 'old' | gzip >"$SCRATCH/out/a.txt.gz"
cp "$SCRATCH/out/a.txt.gz" "$SCRATCH/agz-before.gz"
for answer in "キャンセル" "いいえ(N)"; do
  start_tovix "$BIN/tovix.exe" "$(winpath "$SCRATCH/old.tar")"
  pack_cmd
  open_files "$S\\a.txt"
  save_into "$O\\x" "$GZ"
  probe wait TVantrelbyHalvek dialog 警告 20000 answer "$answer" >"$SCRATCH/asked.txt" ||
    fail "$answer: not asked: $(cat "$SCRATCH/asked.txt")"
  grep -q '^msgbox: 警告 | a\.txt\.gz はすでに存在しています。' "$SCRATCH/asked.txt" || fail "$answer: $(cat "$SCRATCH/asked.txt")"
  probe wait TVantrelbyHalvek command "プロパティ(R)..." >/dev/null
  shown=$(probe wait TVantrelbyHalvek dialog TPropDlg 10000 controls click キャンセル) || fail "$answer: no properties dialog"
  stop_tovix
  grep -qxF 'Static id=0 old.tar' <<<"$shown" || fail "$answer: the window left the open archive: $shown"
  cmp -s "$SCRATCH/agz-before.gz" "$SCRATCH/out/a.txt.gz" || fail "$answer: a.txt.gz changed"
done
rm "$SCRATCH/out/a.txt.gz"
# One gzip file per input onto a full drive (a small file system of its own,
# so only where one can be mounted): the library's log, and nothing left
# there, neither a partial file nor a work file.
full="$SCRATCH/full"
mkdir -p "$full"
if mount -t tmpfs -o size=64k tmpfs "$full" 2>/dev/null; then
  trap 'stop_tovix; umount "$full" 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT
  head -c 200000 /dev/urandom >"$SCRATCH/big.bin"
  start_tovix "$BIN/tovix.exe"
  pack_cmd
  open_files "$(winpath "$SCRATCH/big.bin")"
  save_into "$(winpath "$full")\\x" "$GZ"
  logged
  stop_tovix
  left=$(ls -A "$full")
  umount "$full"
  grep -qF "$(winpath "$full")\\big.bin.gz" "$SCRATCH/log.txt" || fail "gzip onto a full drive: log $(cat "$SCRATCH/log.txt")"
  [ -z "$left" ] || fail "gzip onto a full drive left: $left"
fi
# The window closed while the save dialog of a start-up pack is up: the
# dialog goes with it, nothing is packed and the program ends.
reg Exit 0
ls -A "$src" >"$SCRATCH/src-before.txt"
(cd "$src" && timeout 120 $WINE_RUN "$BIN/tovix.exe" a.txt >/dev/null 2>&1) &
pid=$!
named "$SAVE"
probe find TVantrelbyHalvek close >/dev/null || fail "no window to close"
wait "$pid" || fail "the program did not end when closed during its save dialog"
[ "$(ls -A "$src")" = "$(cat "$SCRATCH/src-before.txt")" ] || fail "closing during the save dialog packed: $(ls -A "$src")"

# No packing library for the open ZIP archive: said so, the archive as it was.
nolib="$SCRATCH/nolib"
mkdir -p "$nolib"
cp "$BIN/tovix.exe" "$BIN/unlha32.dll" "$BIN/unzip32.dll" "$nolib/"
cp "$SCRATCH/arc.zip" "$SCRATCH/zip-before.zip"
start_tovix "$nolib/tovix.exe" "$(winpath "$SCRATCH/arc.zip")"
pack_cmd
open_files "$(winpath "$SCRATCH/new1.txt")"
probe wait TVantrelbyHalvek answer OK >"$SCRATCH/asked.txt" || fail "no message without zip32.dll: $(cat "$SCRATCH/asked.txt")"
grep -q '^msgbox: Tovix | この形式の圧縮に使うライブラリが見つかりません。' "$SCRATCH/asked.txt" || fail "message: $(cat "$SCRATCH/asked.txt")"
stop_tovix
cmp -s "$SCRATCH/zip-before.zip" "$SCRATCH/arc.zip" || fail "arc.zip changed without its library"

# ---- Command strings, from the recording libraries' journal.
rec="$SCRATCH/rec"
mkdir -p "$rec"
cp "$BIN/tovix.exe" "$BIN"/recorder/*.dll "$rec/"
export ARC_JOURNAL="$(winpath "$SCRATCH/journal.txt")"
cmdline() { grep " Command owner=" "$SCRATCH/journal.txt" | sed 's/.* cmd=//' | tr -d '\r'; }
expect_cmds() {
  [ "$(cmdline)" = "$1" ] || fail "$2: commands
$(cmdline)
expected
$1"
  : >"$SCRATCH/journal.txt"
}
: >"$SCRATCH/journal.txt"
regclear
reg Exit 1
ANSWER="save_into $O\\r $LHA"
pack_at_start "$rec/tovix.exe" a.txt docs
expect_cmds "u -r2 -a1 -x1 -jm2 \"$O\\r.lzh\" \"$S\\\" \"a.txt\" \"docs\"" "LHA by default"
reg NoTimeCheck 1
reg PackFolder 0
reg All 0
reg SetDate 1
reg PackStyle 7
reg Zip 9
reg Sort 1
pack_at_start "$rec/tovix.exe" docs a.txt
expect_cmds "a -r2 -t1 -jm4 \"$O\\r.lzh\" \"$S\\\" \"a.txt\" \"docs\"" "LHA with every switch turned"
ANSWER="save_into $O\\r $TBZ"
pack_at_start "$rec/tovix.exe" a.txt docs
expect_cmds "--use-directory=0 -c -B9 \"$O\\r.tar.bz2\" \"$S\\\" \"a.txt\" \"docs\"" "TAR with bzip2"
R=$(winpath "$SCRATCH/recout")  # no earlier file there to ask about
mkdir -p "$SCRATCH/recout"
ANSWER="save_into $R\\r $GZ"
pack_at_start "$rec/tovix.exe" a.txt docs docs/b.txt
expect_cmds "cGvfz9 \"$R\\a.txt.gz\" \"$S\\a.txt\"
cGvfz9 \"$R\\b.txt.gz\" \"$S\\docs\\b.txt\"" "one gzip file each"
# ZIP: Ctrl held as the save dialog is answered asks for a password (the
# box cancelled here); without it nothing is encrypted.
zipped() { grep -a "ZpSetOptions" "$SCRATCH/journal.txt" | grep -o 'encrypt=[-0-9]*'; }
ANSWER="save_into $R\\z $ZIP"
pack_at_start "$rec/tovix.exe" a.txt
[ "$(zipped)" = "encrypt=0" ] || fail "ZIP without Ctrl: $(cat "$SCRATCH/journal.txt")"
grep -aq '^.*password rc=' "$SCRATCH/journal.txt" && fail "a password asked without Ctrl"
: >"$SCRATCH/journal.txt"
with_ctrl() {
  named "$SAVE"
  # Enter once the program's thread sees Ctrl held (hold waits for that).
  probe dialog "$SAVE" 1000 choose 2 "$ZIP" keys "$R\\z" hold ctrl 1 vk enter >/dev/null
  closed "$SAVE"
  probe hold ctrl 0 >/dev/null
  probe dialog "パスワードの入力" 20000 click キャンセル >/dev/null || fail "no password box with Ctrl"
}
ANSWER=with_ctrl
pack_at_start "$rec/tovix.exe" a.txt
[ "$(zipped)" = "encrypt=-1" ] || fail "ZIP with Ctrl: $(cat "$SCRATCH/journal.txt")"
: >"$SCRATCH/journal.txt"
# A self-extracting LHA program open (through the open command, which takes
# any file as an archive): a new archive is asked for instead of adding to
# the program.
reg Exit 0
echo x >"$SCRATCH/r.exe"
echo "a.txt|10|5|0|$DOS||-lh5-|0" >"$SCRATCH/entries.txt"
export REC_unlha32_CHECK=r.exe REC_unlha32_ENTRIES=$(winpath "$SCRATCH/entries.txt")
start_tovix "$rec/tovix.exe"
probe wait TVantrelbyHalvek command "開く(O)..." >/dev/null
named "書庫の選択"
probe dialog "書庫の選択" 1000 keys "$(winpath "$SCRATCH/r.exe")" vk enter >/dev/null
closed "書庫の選択"
eventually 10 shows_caption "r.exe ($(winpath "$SCRATCH")) - Tovix" || fail "the self-extractor not open: $(probe wait TVantrelbyHalvek caption)"
pack_cmd
open_files "$S\\a.txt"
named "$SAVE"
# save_cancelled: no save dialog is left; one still there is cancelled again.
save_cancelled() { dialog_gone "$SAVE" || ! probe dialog "$SAVE" 500 click キャンセル >/dev/null 2>&1; }
wait_until 20 "the save dialog for the self-extractor cancelled" save_cancelled
stop_tovix
[ -z "$(cmdline)" ] || fail "packed into the self-extractor: $(cmdline)"
echo ok
