#!/bin/bash
# Round trips with the peer tools: archives made by jlha (every method and
# header level, folders, Japanese names whose second byte is 0x5C) list and
# extract byte for byte through unlha32.dll; archives unlha32.dll makes pass
# lhasa's test and extract identically with jlha.
source "$TOOLS/archiver_test.sh"
export LC_ALL=ja_JP.UTF-8
drv() { arcdrv unlha32.dll Unlha "$@" 2>/dev/null | tr -d "\r"; }

# The source tree. ソ and 表 end in byte 0x5C in code page 932.
mkdir -p src/docs/deep "src/日本" src/empty
for i in $(seq 1 4000); do echo "line $i: the quick brown fox $((i * 7 % 13))"; done > src/docs/text.txt
head -c 200000 "$BIN/unlha32.dll" > src/docs/deep/binary.bin
head -c 5000 /dev/urandom > src/random.bin
: > src/zero.txt
# One literal and long matches only: the stream ends in the middle of a
# match. jlha cuts this one short even from its own archives (their data
# bytes are the same as ours), so its extraction is compared without it.
head -c 70000 /dev/zero | tr "\\0" x > src/docs/xs.txt
echo "so" > "src/ソ.txt"
printf 'hyou\r\n' > "src/日本/表.txt"
touch -d '2021-03-04 05:06:08' src/docs/text.txt
# A copy right after its original: one encoder packs every file of a
# command, and nothing of one file's stream may reach into the next.
cp src/docs/text.txt src/docs/text2.txt

# What a listing must show: stored names in code page 932, '\' between folders.
expect_names() { (cd src && find . -type f | sed 's|^\./||' | sort) ; }

check_listing() {  # archive
  local got
  got=$(drv list "$(winpath "$1")" | cut -f1 | iconv -f CP932 -t UTF-8 | tr '\\' '/' | grep -v -x -e docs -e docs/deep -e 日本 -e empty | sort)
  [ "$got" = "$(expect_names)" ] || fail "listing of $1: $got"
}

extract_and_compare() {  # archive, label
  rm -rf "out-$2"; mkdir "out-$2"
  local log; log=$(drv cmd "x -c0 -p2 -jf0 -a1 \"$(winpath "$1")\" \"$(winpath "out-$2")\\\"")
  [ "$(rc_of "$log")" = 0 ] || fail "extracting $2: $log"
  grep -q '^Melted docs\\deep\\binary.bin$' <<<"$log" || fail "$2: no Melted line: $log"
  diff -r -x empty src "out-$2" >/dev/null || fail "$2: extracted tree differs: $(diff -r src "out-$2" | head)"
}

# jlha: methods and header levels.
n=0
for flags in o5 o6 o7 z 0o5 1o6 2o7; do
  (cd src && jlha "a$flags" "../j-$flags.lzh" docs 日本 empty random.bin zero.txt ソ.txt >/dev/null 2>&1) || fail "jlha a$flags"
  check_listing "j-$flags.lzh"
  extract_and_compare "j-$flags.lzh" "j$flags"
  n=$((n + 1))
done
drv list "$(winpath j-o7.lzh)" | grep -q -- '-lh7-' || fail "jlha o7 made no -lh7- entry"
[ "$(drv check "$(winpath j-o5.lzh)")" = 1 ] || fail "CheckArchive refused an LHA archive"
[ "$(drv check "$(winpath src/docs/text.txt)")" = 0 ] || fail "CheckArchive took a text file"
[ "$(drv check "$(winpath "$BIN/arcdrv.exe")")" = 0 ] || fail "CheckArchive took a program without an archive"

# The file's time survives.
[ "$(stat -c %Y out-jo5/docs/text.txt)" = "$(stat -c %Y src/docs/text.txt)" ] || fail "time stamp lost"

# Our archives, every level the engine asks for.
for level in 0 2 3 4; do
  log=$(drv cmd "a -r2 -x1 -jm$level \"$(winpath "ours-$level.lzh")\" \"$(winpath src)\\\" docs 日本 empty random.bin zero.txt ソ.txt")
  [ "$(rc_of "$log")" = 0 ] || fail "packing -jm$level: $log"
  grep -q '^Frozen docs\\text.txt' <<<"$log" || fail "no Frozen line: $log"
  lha t "ours-$level.lzh" >/dev/null 2>&1 || fail "lhasa rejects ours-$level.lzh: $(lha t "ours-$level.lzh" 2>&1 | tail -3)"
  # 7zz also refuses bytes left over after the last code.
  7zz t "ours-$level.lzh" >/dev/null 2>&1 || fail "7zz rejects ours-$level.lzh: $(7zz t "ours-$level.lzh" 2>&1 | grep -i error)"
  rm -rf "jx-$level"; mkdir "jx-$level"
  (cd "jx-$level" && jlha x "../ours-$level.lzh" >/dev/null 2>&1) || fail "jlha cannot extract ours-$level.lzh"
  diff -r -x xs.txt src "jx-$level" >/dev/null || fail "jlha extracts ours-$level.lzh differently: $(diff -r src "jx-$level" | head -5)"
  extract_and_compare "ours-$level.lzh" "o$level"
done
method() { drv list "$(winpath "$1")" 2>/dev/null | N="$2" awk -F'\t' '$1 == ENVIRON["N"] {print $9}'; }
[ "$(method ours-2.lzh 'docs\text.txt')" = -lh5- ] || fail "-jm2 is not -lh5-"
[ "$(method ours-3.lzh 'docs\text.txt')" = -lh6- ] || fail "-jm3 is not -lh6-"
[ "$(method ours-4.lzh 'docs\text.txt')" = -lh7- ] || fail "-jm4 is not -lh7-"
[ "$(method ours-0.lzh 'docs\text.txt')" = -lh0- ] || fail "-jm0 is not -lh0-"
[ "$(method ours-4.lzh 'random.bin')" = -lh0- ] || fail "random data not stored"
s4=$(stat -c %s ours-4.lzh); j7=$(stat -c %s j-o7.lzh)
[ "$s4" -le $((j7 * 105 / 100)) ] || fail "lh7 packs poorly: $s4 bytes against jlha's $j7"

# Whole folder by "*.*", no folders kept without -x1.
log=$(drv cmd "a -r2 \"$(winpath flat.lzh)\" \"$(winpath src/docs)\\\" *.*")
[ "$(rc_of "$log")" = 0 ] || fail "flat packing: $log"
[ "$(drv list "$(winpath flat.lzh)" | cut -f1 | sort | tr '\n' ' ')" = "binary.bin text.txt text2.txt xs.txt " ] || fail "without -x1 folders stayed"

# Extract to memory, whole and cut to the buffer.
log=$(drv mem "\"$(winpath ours-2.lzh)\" \"docs\\deep\\binary.bin\"" mem.bin)
[ "$(rc_of "$log" | cut -d' ' -f1)" = 0 ] || fail "ExtractMem: $log"
cmp -s mem.bin src/docs/deep/binary.bin || fail "ExtractMem bytes differ"
log=$(drv mem "-n \"$(winpath j-o6.lzh)\" \"日本/表.txt\"" mem2.bin)
cmp -s mem2.bin "src/日本/表.txt" || fail "ExtractMem by a 0x5C name: $log"
log=$(drv mem "\"$(winpath ours-2.lzh)\" \"nothing.txt\"" mem3.bin)
[ "$(rc_of "$log" | cut -d' ' -f1)" != 0 ] || fail "ExtractMem of a missing entry answered 0"

# A log buffer far too small stays terminated and unbroken.
log=$(drv cmd "t \"$(winpath ours-2.lzh)\"" 20)
[ "$(rc_of "$log")" = 0 ] || fail "test with a small buffer: $log"
grep -q "NOT TERMINATED\|OVERRAN" <<<"$log" && fail "small buffer: $log"
echo "round trips: $n jlha archives, 4 of ours"
