#!/usr/bin/env bash
# The real program extracts from real archives (made by jlha and zip) with
# the stand-in libraries, into a folder chosen in the real folder picker; the
# result log is read from its window, and the shell's folder opener
# (HKCR\Folder in the test's own prefix) is a stand-in that records what it
# was asked to open. Then the command strings for each kind of selection,
# from the recording libraries' journal.
source "$(dirname "$0")/../browser_edit/ui_common.sh"
# The archives and every folder the folder picker proposes and is led to are
# in a folder of this test's own in the prefix's C: drive, where the picker's
# walk meets no other test's folders (as in the shared scratch folder).
WD="$TOVIX_PREFIX/drive_c/browser_extract_e2e"
rm -rf "$WD" && mkdir -p "$WD"
opener="$(winpath "$BIN/shellext-fake/tovix.exe")"
winrun reg add 'HKCR\Folder\shell\open\command' /ve /d "\"$opener\" \"%1\"" /f >/dev/null 2>&1
export SHX_OUT=$(winpath "$WD/opened.txt")
src="$WD/src"
mkdir -p "$src/docs/img"
printf 'hello\r\n' >"$src/a.txt"
seq 1 3000 >"$src/docs/b.txt"
head -c 20000 /dev/urandom >"$src/docs/img/c.bin"
(cd "$src" && jlha a "$WD/arc.lzh" a.txt docs >/dev/null 2>&1)
(cd "$src" && zip -qr "$WD/arc.zip" a.txt docs)
# click ROW: a real click on that row, then a wait until the window has
# handled it.
click() {
  winrun "$BIN/lvclick.exe" TVantrelbyHalvek "$1" >/dev/null || fail "click $1"
  probe wait TVantrelbyHalvek taken >/dev/null || fail "click $1 not taken"
}
# unpack FOLDER PROBE-ARGS...: the menu command, its picker led to FOLDER and
# worked with PROBE-ARGS.
unpack() {
  local folder=$1; shift
  probe wait TVantrelbyHalvek command "解凍(U)..." >/dev/null
  folder_to "$folder" "$@" || fail "folder picker not led to $folder"
}
# result_log: the result log's caption and text, once it shows; closed with OK.
result_log() {
  local log
  log=$(probe wait TVantrelbyHalvek dialog TDispDlg 60000 caption memo click OK) || fail "no result log"
  wait_until 10 "the result log closed" log_gone
  printf '%s\n' "$log"
}
# log_gone: no result log is left; one still there is given another OK.
log_gone() {
  ! probe wait TVantrelbyHalvek dialog TDispDlg 100 >/dev/null 2>&1 ||
    ! probe wait TVantrelbyHalvek dialog TDispDlg 100 click OK >/dev/null 2>&1
}
same() { cmp -s "$1" "$2" || fail "$2 differs from $1"; }
logged() {  # log, names it must mention
  local l=$1; shift
  grep -qxF "caption: $(printf 'tovixの解凍結果')" <<<"$l" || fail "result log caption: $l"
  for n in "$@"; do grep -q "$n" <<<"$l" || fail "no log line for $n: $l"; done
}
only() {  # folder, expected relative files (sorted)
  local got
  got=$(cd "$1" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
  [ "$got" = "$2" ] || fail "files in $1: '$got', expected '$2'"
}
not_opened() { [ ! -e "$WD/opened.txt" ] || fail "$1: a folder was opened: $(cat "$WD/opened.txt")"; }

for arc in arc.lzh arc.zip; do
  out="$WD/out-$arc"
  mkdir -p "$out/files" "$out/folder" "$out/all"
  # Selected files: only a.txt, without folders.
  start_tovix "$BIN/tovix.exe" "$(winpath "$WD/$arc")"
  click 1
  unpack "$out/files" tick フォルダ作成 0
  logged "$(result_log)" a.txt
  only "$out/files" "a.txt "
  same "$src/a.txt" "$out/files/a.txt"
  stop_tovix
  # A folder row: the folder with everything below it.
  start_tovix "$BIN/tovix.exe" "$(winpath "$WD/$arc")"
  click 0
  unpack "$out/folder" tick フォルダ作成 0
  logged "$(result_log)" b.txt c.bin
  only "$out/folder" "docs/b.txt docs/img/c.bin "
  same "$src/docs/b.txt" "$out/folder/docs/b.txt"
  same "$src/docs/img/c.bin" "$out/folder/docs/img/c.bin"
  stop_tovix
  not_opened "$arc"
  # The whole archive from the tree, into a folder named after the archive;
  # a second run finds that folder there and uses it (the log shows: no
  # message refused it), and with UnPack\OpenFolder on, the shell is asked
  # to open that folder.
  for run in 1 2; do
    [ $run = 2 ] && regset UnPack OpenFolder 1
    start_tovix "$BIN/tovix.exe" "$(winpath "$WD/$arc")"
    unpack "$out/all" tick フォルダ作成 1
    logged "$(result_log)" a.txt b.txt c.bin
    stop_tovix
  done
  regset UnPack OpenFolder 0
  eventually 30 grep -qiF "\"$(winpath "$out/all/arc")\"" "$WD/opened.txt" ||
    fail "$arc: opened: $(cat "$WD/opened.txt" 2>/dev/null)"
  rm -f "$WD/opened.txt"
  only "$out/all" "arc/a.txt arc/docs/b.txt arc/docs/img/c.bin "
  for f in a.txt docs/b.txt docs/img/c.bin; do same "$src/$f" "$out/all/arc/$f"; done
done
# Nothing was written outside the chosen folders.
stray=$(cd "$WD" && find . -type f -not -path './src/*' |
  sed 's|^\./||' | sort | tr '\n' ' ')
want=""
for arc in arc.lzh arc.zip; do
  want+="out-$arc/all/arc/a.txt out-$arc/all/arc/docs/b.txt out-$arc/all/arc/docs/img/c.bin "
  want+="out-$arc/files/a.txt out-$arc/folder/docs/b.txt out-$arc/folder/docs/img/c.bin "
done
want=$(printf '%s\n' arc.lzh arc.zip $want | sort | tr '\n' ' ')
[ "$stray" = "$want" ] || fail "files written: '$stray', expected '$want'"

# The about box: every library row, the program's version from its resource.
# Its labels read in order, one line: "about LABEL LABEL ...".
start_tovix "$BIN/tovix.exe"
about=$(probe wait TVantrelbyHalvek command "バージョン情報(A)..." dialog TAboutBox 10000 controls vk enter |
  sed -n 's/^Static id=-\{0,1\}[0-9]* //p' | tr '\n' ' ' | sed 's/^/about /')
stop_tovix
grep -qF " Version 1.00 " <<<"$about" || fail "about box: no version in: $about"
for row in 'unlha32\.dll : ver\. [0-9]+\.[0-9]{2}\.[0-9]+\.[0-9]+' 'unarj32j\.dll : ver\. [0-9]+\.[0-9]{2}\.[0-9]+\.[0-9]+' \
  'unzip32\.dll : ver\. [0-9]+\.[0-9]+\.[0-9]+' 'zip32\.dll : ver\. [0-9]+\.[0-9]+\.[0-9]+' \
  'cab32\.dll : ver\. [0-9]+\.[0-9]{2}' 'tar32\.dll : ver\. [0-9]+\.[0-9]{2}' 'bga32\.dll : ver\. [0-9]+\.[0-9]{2}' \
  'unrar\.dll : Installed\.' 'Windows [A-Za-z0-9 ]+ [0-9]+\.[0-9]{2} \(Build [0-9]+\)'; do
  grep -qE "^about .*$row" <<<"$about" || fail "about box: no row like '$row' in:
$about"
done

# A damaged archive: the extraction fails with the library's log, nothing
# lands outside the chosen folder, and no work folder survives the exit.
head -c 300 "$WD/arc.lzh" >"$WD/bad.lzh"
mkdir -p "$WD/out-bad"
start_tovix "$BIN/tovix.exe" "$(winpath "$WD/bad.lzh")"
unpack "$WD/out-bad" tick フォルダ作成 0
log=$(result_log)
grep -q '^memo: [1-9]' <<<"$log" || fail "damaged archive: no library log: $log"
stop_tovix
find "$WD/out-bad" -type f | grep -v -e '/a.txt$' | grep -q . && fail "unexpected files from a damaged archive"
left=$(find "$TOVIX_PREFIX/drive_c/users" -maxdepth 6 -name 'tovix.*' 2>/dev/null)
[ -z "$left" ] || fail "work folders left: $left"

# Command strings, from the recording libraries' journal.
rec="$WD/rec"
mkdir -p "$rec" "$WD/dest"
cp "$BIN/tovix.exe" "$rec/"
cp "$BIN"/recorder/*.dll "$rec/"
export ARC_JOURNAL="$(winpath "$WD/journal.txt")"
export REC_unlha32_CHECK="r.lzh" REC_cab32_CHECK="r.cab"
{
  echo "a.txt|10|5|0|$DOS||-lh5-|0"
  echo "b.txt|10|5|0|$DOS||-lh5-|0"
  echo "docs/c.txt|10|5|0|$DOS||-lh5-|0"
} >"$WD/entries.txt"
for lib in unlha32 tar32 cab32; do export "REC_${lib}_ENTRIES=$(winpath "$WD/entries.txt")"; done
for a in r.lzh r.gz r.cab; do echo x >"$WD/$a"; done
A=$(winpath "$WD") D=$(winpath "$WD/dest")
cmdline() {  # the last command the libraries got
  grep ' Command owner=' "$WD/journal.txt" | tail -1 | sed 's/.* cmd=//' | tr -d '\r'
}
expect_cmd() {
  [ "$(cmdline)" = "$1" ] || fail "$2: command '$(cmdline)', expected '$1'"
}
start_tovix "$rec/tovix.exe" "$A\\r.lzh"
click 1,2
unpack "$WD/dest" tick フォルダ作成 0
eventually 60 expect_cmd "e -c0 -p2 -jf0 -a1 \"$A\\r.lzh\" \"$D\\\" \"a.txt\" \"b.txt\"" "files only"
click 0
unpack "$WD/dest" tick フォルダ作成 0
eventually 60 expect_cmd "x -c0 -p2 -jf0 -a1 \"$A\\r.lzh\" \"$D\\\" \"docs/*.*\"" "folder row"
probe wait TVantrelbyHalvek command "すべて選択(A)" >/dev/null
unpack "$WD/dest" tick フォルダ作成 0
eventually 60 expect_cmd "x -c0 -p2 -jf0 -a1 \"$A\\r.lzh\" \"$D\\\" \"*.*\"" "every row"
stop_tovix
start_tovix "$rec/tovix.exe" "$A\\r.gz"
unpack "$WD/dest" tick フォルダ作成 0
eventually 60 expect_cmd "-x \"$A\\r.gz\" \"$D\\\"" "gz takes no names"
stop_tovix
start_tovix "$rec/tovix.exe" "$A\\r.cab"
unpack "$WD/dest" tick フォルダ作成 0 tick マルチボリューム 1
eventually 60 expect_cmd "-x -n -k \"$A\\r.cab\" \"$D\\\" \"*.*\"" "cab with the multi-volume box"
stop_tovix
echo ok
