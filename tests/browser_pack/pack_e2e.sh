#!/usr/bin/env bash
# The real program packs real files with the stand-in libraries: from the
# command line into new archives of each kind, through the pack command and
# its dialogs, and into an open archive (at its root and below a folder).
# Debian's tools read the results byte for byte. Then the command strings
# from the recording libraries, and failures that must lose nothing.
source "$(dirname "$0")/../browser_list/e2e_common.sh"
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
# Packs at start-up and ends by itself (Pack\Exit): EXE TRACE ARGS...
pack_at_start() {
  local exe=$1 trace=$2; shift 2
  : >"$trace"
  (cd "$src" && TOVIX_TRACE=$(winpath "$trace") timeout 120 $WINE_RUN "$exe" "$@" >/dev/null 2>&1) ||
    fail "start-up pack did not end: $*"
}
# Starts the window without an archive (nothing to wait for but the window).
start_plain() {
  : >"$2"
  TOVIX_TRACE=$(winpath "$2") winrun "$1" "${@:3}" >/dev/null 2>&1 &
  TOVIX_PID=$!
  probe wait TVantrelbyHalvek 60000 >/dev/null || fail "no main window"
}
# The pack command, then the listing that follows it.
pack_cmd() {
  local trace=$1 before
  before=$(grep -c '^time listing' "$trace" || true)
  probe wait TVantrelbyHalvek command "圧縮(P)..." >/dev/null
  for _ in $(seq 200); do
    [ "$(grep -c '^time listing' "$trace" || true)" -gt "$before" ] && break
    grep -q '^packfailed' "$trace" && break
    sleep 0.1
  done
  sleep 0.3
}
same_tree() { diff -r "$1" "$2" >/dev/null || fail "$3: contents differ: $(diff -rq "$1" "$2" | head -5)"; }
fresh() { rm -rf "$1"; mkdir -p "$1"; }

# ---- Start-up path: a.txt and the folder docs into each kind of archive.
regclear
reg Exit 1
check="$SCRATCH/check"
for kind in 1:new.lzh 2:new.zip 3:new.cab 5:new.tar 6:new.tar.gz 8:new.tar.bz2; do
  idx=${kind%%:*} name=${kind#*:}
  export TOVIX_ANSWERS="dialog:SaveDialog1=$O\\new#$idx"
  pack_at_start "$BIN/tovix.exe" "$SCRATCH/t-$idx.txt" a.txt docs
  grep -q '^sound TX_ArcPack' "$SCRATCH/t-$idx.txt" || fail "$name: no pack sound"
  grep -qF "pack dialog: $S #1" "$SCRATCH/t-$idx.txt" || fail "$name: save dialog: $(cat "$SCRATCH/t-$idx.txt")"
  grep -q '^resultlog caption ' "$SCRATCH/t-$idx.txt" || fail "$name: no result log: $(cat "$SCRATCH/t-$idx.txt")"
  f="$SCRATCH/out/$name"
  [ -f "$f" ] || fail "$name not made: $(cat "$SCRATCH/t-$idx.txt")"
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
# Pack\TGZ names the gzip tar ".tgz"; the type chosen last is kept (and the
# dialog's index is preset from it next time).
reg TGZ 1
export TOVIX_ANSWERS="dialog:SaveDialog1=$O\\second.tar.gz#6"
pack_at_start "$BIN/tovix.exe" "$SCRATCH/t-tgz.txt" a.txt
[ -f "$SCRATCH/out/second.tgz" ] || fail "no second.tgz: $(ls "$SCRATCH/out")"
tar tzf "$SCRATCH/out/second.tgz" | grep -qx a.txt || fail "second.tgz"

# One gzip and one bzip2 file per input file; the folder is passed over. An
# existing target is asked about with "all" offered; cancel at the second
# keeps the first one made.
export TOVIX_ANSWERS="dialog:SaveDialog1=$O\\x#7"
pack_at_start "$BIN/tovix.exe" "$SCRATCH/t-gz.txt" a.txt docs docs/b.txt
cmp -s <(gzip -dc "$SCRATCH/out/a.txt.gz") "$src/a.txt" || fail "a.txt.gz"
cmp -s <(gzip -dc "$SCRATCH/out/b.txt.gz") "$src/docs/b.txt" || fail "b.txt.gz"
[ -e "$SCRATCH/out/docs.gz" ] && fail "a folder was packed into a gzip file"
export TOVIX_ANSWERS="dialog:SaveDialog1=$O\\x#9"
pack_at_start "$BIN/tovix.exe" "$SCRATCH/t-bz.txt" a.txt
cmp -s <(bzip2 -dc "$SCRATCH/out/a.txt.bz2") "$src/a.txt" || fail "a.txt.bz2"
cp "$SCRATCH/out/b.txt.gz" "$SCRATCH/b-before.gz"
echo changed >"$src/c.txt"
printf 'old' | gzip >"$SCRATCH/out/c.txt.gz"
export TOVIX_ANSWERS="dialog:SaveDialog1=$O\\x#7;exists=yes|cancel"
pack_at_start "$BIN/tovix.exe" "$SCRATCH/t-gz2.txt" c.txt docs/b.txt
grep -q '^exists: c\.txt\.gz ' "$SCRATCH/t-gz2.txt" && grep -q ' \[all\]' "$SCRATCH/t-gz2.txt" ||
  fail "no question with all: $(cat "$SCRATCH/t-gz2.txt")"
cmp -s <(gzip -dc "$SCRATCH/out/c.txt.gz") "$src/c.txt" || fail "c.txt.gz not replaced"
cmp -s "$SCRATCH/b-before.gz" "$SCRATCH/out/b.txt.gz" || fail "b.txt.gz touched after cancel"
rm "$src/c.txt"

# ---- The pack command: two files chosen, a spanned cabinet whose volumes
# all get the newest entry's time; the window lists the new archive.
regclear
reg SetDate 1
reg CabStyle 1
reg CabLevel 18
export TOVIX_ANSWERS="dialog:OpenDialog3=$(winpath "$SCRATCH/cabsrc/big.bin")*$(winpath "$SCRATCH/cabsrc/a.txt");dialog:SaveDialog1=$O\\set#4"
start_plain "$BIN/tovix.exe" "$SCRATCH/t-cab.txt"
pack_cmd "$SCRATCH/t-cab.txt"
for v in 01 02 03; do
  [ -f "$SCRATCH/out/set$v.cab" ] || fail "no volume set$v.cab: $(ls "$SCRATCH/out") $(cat "$SCRATCH/t-cab.txt")"
  [ "$(stat -c %Y "$SCRATCH/out/set$v.cab")" = "$(stat -c %Y "$src/a.txt")" ] || fail "set$v.cab time not the newest entry's"
done
out=$(probe wait TVantrelbyHalvek caption)
expect_line "$out" "caption: set01.cab ($O) - Tovix" "caption after packing"
stop_tovix
fresh "$check"
cabextract -q -d "$check" "$SCRATCH/out/set01.cab" >/dev/null || fail "cabextract set01.cab"
cmp -s "$check/big.bin" "$SCRATCH/cabsrc/big.bin" && cmp -s "$check/a.txt" "$src/a.txt" || fail "spanned cabinet contents"

# ---- Adding to an open archive: at the root, then below the selected folder.
regclear
(cd "$src" && jlha a "$SCRATCH/arc.lzh" a.txt docs >/dev/null 2>&1)
(cd "$src" && zip -qr "$SCRATCH/arc.zip" a.txt docs)
printf 'new one\n' >"$SCRATCH/new1.txt"
printf 'new two\n' >"$SCRATCH/new2.txt"
for arc in arc.lzh arc.zip; do
  export TOVIX_ANSWERS="dialog:OpenDialog3=$(winpath "$SCRATCH/new1.txt")|$(winpath "$SCRATCH/new2.txt")"
  start_tovix "$BIN/tovix.exe" "$SCRATCH/t-add-$arc.txt" "$(winpath "$SCRATCH/$arc")"
  pack_cmd "$SCRATCH/t-add-$arc.txt"
  grep -q '^pack dialog' "$SCRATCH/t-add-$arc.txt" && fail "$arc: a save dialog for an open archive"
  probe wait TVantrelbyHalvek select-node "$arc/docs/img" >/dev/null || fail "$arc: select docs/img"
  pack_cmd "$SCRATCH/t-add-$arc.txt"
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
# A folder node made by the new-folder command takes what is added below it.
(cd "$src" && zip -qr "$SCRATCH/nf.zip" a.txt docs)
export TOVIX_ANSWERS="dialog:OpenDialog3=$(winpath "$SCRATCH/new1.txt")"
start_tovix "$BIN/tovix.exe" "$SCRATCH/t-nf.txt" "$(winpath "$SCRATCH/nf.zip")"
probe wait TVantrelbyHalvek select-node "nf.zip/docs" command "フォルダ(F)..." dialog "新規フォルダ名の入力" \
  type 0 fresh click OK waitgone TFolDlg 10000 >/dev/null || fail "new-folder dialog"
probe wait TVantrelbyHalvek select-node "nf.zip/docs/fresh" >/dev/null || fail "no new folder node"
pack_cmd "$SCRATCH/t-nf.txt"
stop_tovix
unzip -Z1 "$SCRATCH/nf.zip" | grep -qx 'docs/fresh/new1.txt' ||
  fail "added below a new folder node: $(unzip -Z1 "$SCRATCH/nf.zip" | tr '\n' ' ')"
left=$(find "$TOVIX_PREFIX/drive_c/users" -maxdepth 6 -name 'tovix.*' 2>/dev/null)
[ -z "$left" ] || fail "work folders left: $left"

# ---- Failures lose nothing; they show the log even with Pack\HideDlg on.
reg HideDlg 1
# A target folder that does not exist: a message, nothing made. (The ZIP
# added to last left the type ZIP preset in the save dialog.)
export TOVIX_ANSWERS="dialog:OpenDialog3=$S\\a.txt;dialog:SaveDialog1=$O\\nowhere\\x#1"
start_plain "$BIN/tovix.exe" "$SCRATCH/t-nodir.txt"
pack_cmd "$SCRATCH/t-nodir.txt"
grep -qE '^(resultlog\| |packfailed: )' "$SCRATCH/t-nodir.txt" || fail "no message for a missing folder: $(cat "$SCRATCH/t-nodir.txt")"
grep -qF "pack dialog: $S #2" "$SCRATCH/t-nodir.txt" || fail "ZIP not preset after adding to a ZIP archive"
stop_tovix
[ -e "$SCRATCH/out/nowhere" ] && fail "a missing folder was made"
# Replacing an archive whose new packing fails keeps the old one.
cp "$SCRATCH/arc.lzh" "$SCRATCH/out/keep.lzh"
cp "$SCRATCH/arc.lzh" "$SCRATCH/keep-before.lzh"
export TOVIX_ANSWERS="dialog:OpenDialog3=$S\\gone.txt;dialog:SaveDialog1=$O\\keep#1;exists=yes"
start_plain "$BIN/tovix.exe" "$SCRATCH/t-keep.txt"
pack_cmd "$SCRATCH/t-keep.txt"
grep -q '^exists: ' "$SCRATCH/t-keep.txt" || fail "not asked about keep.lzh: $(cat "$SCRATCH/t-keep.txt")"
grep -q '^resultlog| .*gone\.txt' "$SCRATCH/t-keep.txt" || fail "failure log hidden: $(cat "$SCRATCH/t-keep.txt")"
stop_tovix
cmp -s "$SCRATCH/keep-before.lzh" "$SCRATCH/out/keep.lzh" || fail "keep.lzh lost after a failed packing"
ls "$SCRATCH/out" | grep -q 'tovix-old' && fail "a set-aside copy was left"
# Replaced when it works, and the hidden log stays hidden.
export TOVIX_ANSWERS="dialog:OpenDialog3=$S\\a.txt;dialog:SaveDialog1=$O\\keep#1;exists=yes"
start_plain "$BIN/tovix.exe" "$SCRATCH/t-keep2.txt"
pack_cmd "$SCRATCH/t-keep2.txt"
stop_tovix
grep -q '^resultlog' "$SCRATCH/t-keep2.txt" && fail "log shown with Pack\\HideDlg"
[ "$(lhasa l "$SCRATCH/out/keep.lzh" | grep -c 'a.txt\|b.txt\|c.bin')" = 1 ] || fail "keep.lzh not replaced: $(lhasa l "$SCRATCH/out/keep.lzh")"
ls "$SCRATCH/out" | grep -q 'tovix-old' && fail "the replaced archive was left beside"
cp "$SCRATCH/keep-before.lzh" "$SCRATCH/out/keep.lzh"
# Cancel at that question packs nothing.
export TOVIX_ANSWERS="dialog:OpenDialog3=$S\\a.txt;dialog:SaveDialog1=$O\\keep#1;exists=cancel"
start_plain "$BIN/tovix.exe" "$SCRATCH/t-cancel.txt"
# The close is taken after the command: the trace is whole once it ended.
probe wait TVantrelbyHalvek command "圧縮(P)..." >/dev/null
stop_tovix
grep -q '^sound TX_ArcPack' "$SCRATCH/t-cancel.txt" && fail "packed after cancel"
cmp -s "$SCRATCH/keep-before.lzh" "$SCRATCH/out/keep.lzh" || fail "keep.lzh changed after cancel"
# One gzip file per input with nothing made (Cancel or No at the question):
# the window stays on the archive it had, as its properties show.
tar -C "$src" -cf "$SCRATCH/old.tar" a.txt
printf 'old' | gzip >"$SCRATCH/out/a.txt.gz"
cp "$SCRATCH/out/a.txt.gz" "$SCRATCH/agz-before.gz"
for answer in cancel no; do
  export TOVIX_ANSWERS="dialog:OpenDialog3=$S\\a.txt;dialog:SaveDialog1=$O\\x#7;exists=$answer;prop=cancel"
  start_tovix "$BIN/tovix.exe" "$SCRATCH/t-gzkeep.txt" "$(winpath "$SCRATCH/old.tar")"
  probe wait TVantrelbyHalvek command "圧縮(P)..." sleep 1000 command "プロパティ(R)..." >/dev/null
  shown=$(probe wait TVantrelbyHalvek dialog TPropDlg 10000 controls click キャンセル) || fail "$answer: no properties dialog"
  stop_tovix
  grep -q '^exists: a\.txt\.gz ' "$SCRATCH/t-gzkeep.txt" || fail "$answer: not asked: $(cat "$SCRATCH/t-gzkeep.txt")"
  grep -qxF 'Static id=0 old.tar' <<<"$shown" || fail "$answer: the window left the open archive: $shown"
  cmp -s "$SCRATCH/agz-before.gz" "$SCRATCH/out/a.txt.gz" || fail "$answer: a.txt.gz changed"
done
rm "$SCRATCH/out/a.txt.gz"

# No packing library for the open ZIP archive: said so, the archive as it was.
nolib="$SCRATCH/nolib"
mkdir -p "$nolib"
cp "$BIN/tovix.exe" "$BIN/unlha32.dll" "$BIN/unzip32.dll" "$nolib/"
cp "$SCRATCH/arc.zip" "$SCRATCH/zip-before.zip"
export TOVIX_ANSWERS="dialog:OpenDialog3=$(winpath "$SCRATCH/new1.txt")"
start_tovix "$nolib/tovix.exe" "$SCRATCH/t-nolib.txt" "$(winpath "$SCRATCH/arc.zip")"
probe wait TVantrelbyHalvek command "圧縮(P)..." >/dev/null
stop_tovix
grep -q '^packfailed: ' "$SCRATCH/t-nolib.txt" || fail "no message without zip32.dll: $(cat "$SCRATCH/t-nolib.txt")"
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
export TOVIX_ANSWERS="dialog:SaveDialog1=$O\\r#1"
pack_at_start "$rec/tovix.exe" "$SCRATCH/t-rec.txt" a.txt docs
expect_cmds "u -r2 -a1 -x1 -jm2 \"$O\\r.lzh\" \"$S\\\" \"a.txt\" \"docs\"" "LHA by default"
reg NoTimeCheck 1
reg PackFolder 0
reg All 0
reg SetDate 1
reg PackStyle 7
reg Zip 9
reg Sort 1
pack_at_start "$rec/tovix.exe" "$SCRATCH/t-rec.txt" docs a.txt
expect_cmds "a -r2 -t1 -jm4 \"$O\\r.lzh\" \"$S\\\" \"a.txt\" \"docs\"" "LHA with every switch turned"
export TOVIX_ANSWERS="dialog:SaveDialog1=$O\\r#8"
pack_at_start "$rec/tovix.exe" "$SCRATCH/t-rec.txt" a.txt docs
expect_cmds "--use-directory=0 -c -B9 \"$O\\r.tar.bz2\" \"$S\\\" \"a.txt\" \"docs\"" "TAR with bzip2"
R=$(winpath "$SCRATCH/recout")  # no earlier file there to ask about
export TOVIX_ANSWERS="dialog:SaveDialog1=$R\\r#7"
pack_at_start "$rec/tovix.exe" "$SCRATCH/t-rec.txt" a.txt docs docs/b.txt
expect_cmds "cGvfz9 \"$R\\a.txt.gz\" \"$S\\a.txt\"
cGvfz9 \"$R\\b.txt.gz\" \"$S\\docs\\b.txt\"" "one gzip file each"
# A self-extracting LHA program open: a new archive is asked for instead of
# adding to the program.
echo x >"$SCRATCH/r.exe"
echo "a.txt|10|5|0|$DOS||-lh5-|0" >"$SCRATCH/entries.txt"
export REC_unlha32_CHECK=r.exe REC_unlha32_ENTRIES=$(winpath "$SCRATCH/entries.txt")
export TOVIX_ANSWERS="shift=1;dialog:OpenDialog3=$S\\a.txt;dialog:SaveDialog1=cancel"
start_tovix "$rec/tovix.exe" "$SCRATCH/t-sfx.txt" "$(winpath "$SCRATCH/r.exe")"
probe wait TVantrelbyHalvek command "圧縮(P)..." >/dev/null
stop_tovix
grep -q '^pack dialog: ' "$SCRATCH/t-sfx.txt" || fail "no save dialog with a self-extractor open: $(cat "$SCRATCH/t-sfx.txt")"
[ -z "$(cmdline)" ] || fail "packed into the self-extractor: $(cmdline)"
echo ok
