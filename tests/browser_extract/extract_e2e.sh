#!/usr/bin/env bash
# The real program extracts from real archives (made by jlha and zip) with
# the stand-in libraries, into a folder chosen through the picker's seam;
# then the command strings for each kind of selection, from the recording
# libraries' journal.
source "$(dirname "$0")/../browser_list/e2e_common.sh"
src="$SCRATCH/src"
mkdir -p "$src/docs/img"
printf 'hello\r\n' >"$src/a.txt"
seq 1 3000 >"$src/docs/b.txt"
head -c 20000 /dev/urandom >"$src/docs/img/c.bin"
(cd "$src" && jlha a "$SCRATCH/arc.lzh" a.txt docs >/dev/null 2>&1)
(cd "$src" && zip -qr "$SCRATCH/arc.zip" a.txt docs)
click() { winrun "$BIN/lvclick.exe" TVantrelbyHalvek "$1" >/dev/null || fail "click $1"; sleep 0.3; }
unpack() {  # the menu command, once it began; the checks wait for its end
  probe wait TVantrelbyHalvek command "解凍(U)..." >/dev/null
  for _ in $(seq 100); do grep -q '^sound TX_ArcUnPack' "$1" && break; sleep 0.1; done
}
same() { cmp -s "$1" "$2" || fail "$2 differs from $1"; }
logged() {  # trace, names the library's log must mention
  local t=$1; shift
  for n in "$@"; do grep -q "^resultlog| .*$n" "$t" || fail "no log line for $n: $(cat "$t")"; done
}
only() {  # folder, expected relative files (sorted)
  local got
  got=$(cd "$1" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
  [ "$got" = "$2" ] || fail "files in $1: '$got', expected '$2'"
}

for arc in arc.lzh arc.zip; do
  out="$SCRATCH/out-$arc"
  mkdir -p "$out/files" "$out/folder" "$out/all"
  # Selected files: only a.txt, without folders.
  export TOVIX_ANSWERS="folder=$(winpath "$out/files");n1=0"
  start_tovix "$BIN/tovix.exe" "$SCRATCH/t-$arc.txt" "$(winpath "$SCRATCH/$arc")"
  click 1
  unpack "$SCRATCH/t-$arc.txt"
  eventually 60 only "$out/files" "a.txt "
  eventually 60 same "$src/a.txt" "$out/files/a.txt"
  eventually 60 logged "$SCRATCH/t-$arc.txt" a.txt
  grep -qF "resultlog caption $(printf 'tovixの解凍結果' | iconv -f UTF-8 -t CP932)" "$SCRATCH/t-$arc.txt" ||
    fail "$arc: result log caption"
  stop_tovix
  # A folder row: the folder with everything below it.
  export TOVIX_ANSWERS="folder=$(winpath "$out/folder");n1=0"
  start_tovix "$BIN/tovix.exe" "$SCRATCH/t-$arc.txt" "$(winpath "$SCRATCH/$arc")"
  click 0
  unpack "$SCRATCH/t-$arc.txt"
  eventually 60 logged "$SCRATCH/t-$arc.txt" b.txt c.bin
  eventually 60 only "$out/folder" "docs/b.txt docs/img/c.bin "
  eventually 60 same "$src/docs/b.txt" "$out/folder/docs/b.txt"
  eventually 60 same "$src/docs/img/c.bin" "$out/folder/docs/img/c.bin"
  stop_tovix
  # The whole archive from the tree, into a folder named after the archive;
  # a second run finds that folder there and uses it.
  for run in 1 2; do
    export TOVIX_ANSWERS="folder=$(winpath "$out/all");n1=1"
    start_tovix "$BIN/tovix.exe" "$SCRATCH/t-$arc.txt" "$(winpath "$SCRATCH/$arc")"
    unpack "$SCRATCH/t-$arc.txt"
    eventually 60 logged "$SCRATCH/t-$arc.txt" a.txt b.txt c.bin
    grep -q '^makefolder' "$SCRATCH/t-$arc.txt" && fail "$arc: existing folder refused"
    stop_tovix
  done
  only "$out/all" "arc/a.txt arc/docs/b.txt arc/docs/img/c.bin "
  for f in a.txt docs/b.txt docs/img/c.bin; do same "$src/$f" "$out/all/arc/$f"; done
done
# Nothing was written outside the chosen folders.
stray=$(cd "$SCRATCH" && find . -type f -not -path './prefix/*' -not -name prefix.lock -not -path './src/*' -not -name 't-*' |
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
export TOVIX_ANSWERS="none=1"
start_tovix "$BIN/tovix.exe" "$SCRATCH/t-about.txt"
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
head -c 300 "$SCRATCH/arc.lzh" >"$SCRATCH/bad.lzh"
mkdir -p "$SCRATCH/out-bad"
export TOVIX_ANSWERS="folder=$(winpath "$SCRATCH/out-bad");n1=0"
start_tovix "$BIN/tovix.exe" "$SCRATCH/t-bad.txt" "$(winpath "$SCRATCH/bad.lzh")"
probe wait TVantrelbyHalvek command "解凍(U)..." sleep 1500 >/dev/null || true
stop_tovix
find "$SCRATCH/out-bad" -type f | grep -v -e '/a.txt$' | grep -q . && fail "unexpected files from a damaged archive"
left=$(find "$TOVIX_PREFIX/drive_c/users" -maxdepth 6 -name 'tovix.*' 2>/dev/null)
[ -z "$left" ] || fail "work folders left: $left"

# Command strings, from the recording libraries' journal.
rec="$SCRATCH/rec"
mkdir -p "$rec" "$SCRATCH/dest"
cp "$BIN/tovix.exe" "$rec/"
cp "$BIN"/recorder/*.dll "$rec/"
export ARC_JOURNAL="$(winpath "$SCRATCH/journal.txt")"
export REC_unlha32_CHECK="r.lzh" REC_cab32_CHECK="r.cab"
{
  echo "a.txt|10|5|0|$DOS||-lh5-|0"
  echo "b.txt|10|5|0|$DOS||-lh5-|0"
  echo "docs/c.txt|10|5|0|$DOS||-lh5-|0"
} >"$SCRATCH/entries.txt"
for lib in unlha32 tar32 cab32; do export "REC_${lib}_ENTRIES=$(winpath "$SCRATCH/entries.txt")"; done
for a in r.lzh r.gz r.cab; do echo x >"$SCRATCH/$a"; done
A=$(winpath "$SCRATCH") D=$(winpath "$SCRATCH/dest")
cmdline() {  # the last command the libraries got
  grep ' Command owner=' "$SCRATCH/journal.txt" | tail -1 | sed 's/.* cmd=//' | tr -d '\r'
}
expect_cmd() {
  [ "$(cmdline)" = "$1" ] || fail "$2: command '$(cmdline)', expected '$1'"
}
export TOVIX_ANSWERS="folder=$D;n1=0;n2=1"
start_tovix "$rec/tovix.exe" "$SCRATCH/t-rec.txt" "$A\\r.lzh"
click 1,2
unpack "$SCRATCH/t-rec.txt"
eventually 60 expect_cmd "e -c0 -p2 -jf0 -a1 \"$A\\r.lzh\" \"$D\\\" \"a.txt\" \"b.txt\"" "files only"
: >"$SCRATCH/t-rec.txt"
click 0
unpack "$SCRATCH/t-rec.txt"
eventually 60 expect_cmd "x -c0 -p2 -jf0 -a1 \"$A\\r.lzh\" \"$D\\\" \"docs/*.*\"" "folder row"
: >"$SCRATCH/t-rec.txt"
probe wait TVantrelbyHalvek command "すべて選択(A)" >/dev/null
unpack "$SCRATCH/t-rec.txt"
eventually 60 expect_cmd "x -c0 -p2 -jf0 -a1 \"$A\\r.lzh\" \"$D\\\" \"*.*\"" "every row"
stop_tovix
start_tovix "$rec/tovix.exe" "$SCRATCH/t-rec.txt" "$A\\r.gz"
unpack "$SCRATCH/t-rec.txt"
eventually 60 expect_cmd "-x \"$A\\r.gz\" \"$D\\\"" "gz takes no names"
stop_tovix
start_tovix "$rec/tovix.exe" "$SCRATCH/t-rec.txt" "$A\\r.cab"
unpack "$SCRATCH/t-rec.txt"
eventually 60 expect_cmd "-x -n -k \"$A\\r.cab\" \"$D\\\" \"*.*\"" "cab with the multi-volume box"
stop_tovix
echo ok
