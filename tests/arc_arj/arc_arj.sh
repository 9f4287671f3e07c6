#!/usr/bin/env bash
# unarj32j.dll under Wine on archives made by the arj tool (methods 0 to 4,
# folders, code page 932 names with a 0x5C second byte), self-extractors,
# damage, and crafted hostile headers.
source "$TOOLS/archiver_test.sh"
command -v arj >/dev/null || fail "the arj tool is needed"
drv() { arcdrv unarj32j.dll Unarj "$@" | tr -d '\r' | iconv -f CP932 -t UTF-8; }
lacks() { ! grep -qF -- "$2" <<<"$1" || fail "$3: unexpected '$2' in: $1"; }

# want/: the tree as Wine writes it (UTF-8 names); src/: the same tree with
# code page 932 names, as the packer sees them on a Japanese system.
mkdir -p want/sub want/empty want/表
seq 1 30000 > want/sub/seq.txt
head -c 150000 "$BIN/unarj32j.dll" > want/sub/bin.dat
printf 'hello\n' > want/a.txt
printf 'so' > want/ソ.txt
seq 5 500 > want/表/x.txt
cp -r want src
mv src/ソ.txt "src/$(printf '\x83\x5c').txt"
mv src/表 "src/$(printf '\x95\x5c')"
# arj on Unix stores Unix seconds; one date lies past 2038.
for t in want src; do touch -d '2040-03-04 05:06:08' $t/a.txt; touch -d '2024-05-06 07:08:10' $t/sub/seq.txt; done

[[ $(arcdrv unarj32j.dll Unarj version | tr -d '\r') -ge 10 ]] || fail "version below 10"

for m in 0 1 2 3 4; do
  mt=Method$m; [[ $m != 0 ]] || mt=Store
  (cd src && arj a -m$m -r -a1 -y ../m$m.arj '*' >/dev/null)
  a=$(W m$m.arj)
  out=$(drv list m$m.arj)
  for n in sub/seq.txt sub/bin.dat a.txt ソ.txt 表/x.txt empty/; do
    grep -qP "^\Q$n\E\t" <<<"$out" || fail "listing -m$m lacks $n: $out"
  done
  grep -P '^sub/seq.txt\t' <<<"$out" | grep -qP "\t168894\t\d+\t[0-9a-f]{8}\t\d+\t\w{4}\t\w{4}\t.{4}\t$mt" ||
    fail "listing -m$m record: $out"
  grep -qP '^a.txt\t6\t\d+\t[0-9a-f]{8}\t\d+\t7864\t28c4\t' <<<"$out" || fail "listing -m$m date past 2038: $out"
  [[ $(drv check m$m.arj) == 1 ]] || fail "check -m$m"

  # Extraction with folders is byte-exact, empty folder included.
  mkdir x$m
  out=$(drv cmd "x -p1 -hk -a0 \"$a\" \"$(W x$m)\\\"")
  expect_text "$out" "rc=0" "extract -m$m"
  expect_text "$out" "Melted sub/seq.txt" "extract log -m$m"
  diff -r want x$m >/dev/null || fail "extract -m$m differs: $(diff -r want x$m | head -5)"
  [[ $(stat -c %Y x$m/a.txt x$m/sub/seq.txt) == "$(stat -c %Y want/a.txt want/sub/seq.txt)" ]] ||
    fail "extract -m$m times: $(stat -c '%n %y' x$m/a.txt x$m/sub/seq.txt)"

  # Without folders, one folder's entries by pattern.
  mkdir e$m
  out=$(drv cmd "e -p1 -hk -a0 \"$a\" \"$(W e$m)\\\" \"sub/*.*\"")
  expect_text "$out" "rc=0" "extract flat -m$m"
  [[ $(ls e$m | tr '\n' ' ') == "bin.dat seq.txt " ]] || fail "extract flat -m$m: $(ls e$m)"
  cmp -s e$m/seq.txt want/sub/seq.txt || fail "extract flat -m$m content"

  # Print: the entry's bytes and nothing else.
  out=$(arcdrv unarj32j.dll Unarj cmd "p -hk \"$a\" \"sub/seq.txt\"" 300000 | tr -d '\r')
  cmp -s <(printf '%s\n' "$out") <(printf 'rc=0\n'; cat want/sub/seq.txt) || fail "print -m$m"
  out=$(drv cmd "p -hk \"$a\" \"ソ.txt\"" 100)
  [[ $out == $'rc=0\nso' ]] || fail "print CP932 name -m$m: $out"

  out=$(drv cmd "t -hk \"$a\"")
  expect_text "$out" "rc=0" "test -m$m"
  expect_text "$out" "Tested  sub/bin.dat" "test log -m$m"
done

# Existing files: not older than the entry -> kept; -c then asks (its message
# box answered through its buttons), -y replaces without asking.
a=$(W m1.arj)
out=$(drv cmd "x -hk \"$a\" \"$(W x1)\\\" a.txt")
expect_text "$out" "Skipped : a.txt" "newer file kept"
printf 'mine' > x1/a.txt; touch -d 2000-01-01 x1/a.txt
out=$(beside answer "いいえ(N)" -- drv cmd "x -c -hk \"$a\" \"$(W x1)\\\" a.txt")
expect_text "$out" "Skipped : a.txt" "overwrite answered no"
asked "msgbox: unarj32j" "the overwrite question"
asked "a.txt" "the question names the file"
[[ $(cat x1/a.txt) == mine ]] || fail "answer no replaced the file"
out=$(beside answer "はい(Y)" -- drv cmd "x -c -hk \"$a\" \"$(W x1)\\\" a.txt")
expect_text "$out" "Melted a.txt" "overwrite answered yes"
printf 'mine' > x1/a.txt; touch -d 2000-01-01 x1/a.txt
out=$(drv cmd "x -i -y -hk \"$a\" \"$(W x1)\\\" a.txt")
expect_text "$out" "Melted a.txt" "-y replaces"
cmp -s x1/a.txt want/a.txt || fail "-y content"

# A self-extractor: a program in front of the archive.
{ cat "$BIN/arcdrv.exe"; cat m4.arj; } > sfx.exe
[[ $(drv check sfx.exe) == 1 ]] || fail "self-extractor not recognised"
mkdir xs
expect_text "$(drv cmd "x -hk \"$(W sfx.exe)\" \"$(W xs)\\\"")" "rc=0" "self-extractor extract"
diff -r want xs >/dev/null || fail "self-extractor extract differs"
cp "$BIN/arcdrv.exe" plain.exe
[[ $(drv check plain.exe) == 0 ]] || fail "a plain program taken for ARJ"

# Damaged packed data: test reports it, extraction writes no such file.
cp m1.arj bad.arj
printf '\xff\x00\xff\x00' | dd of=bad.arj bs=1 seek=400 conv=notrunc status=none
out=$(drv cmd "t -hk \"$(W bad.arj)\"")
lacks "$out" "rc=0" "test of damaged data"
bad=$(sed -n 's/^Error   \(.*\)\t : .*/\1/p' <<<"$out" | sed -n 1p)
[[ -n $bad ]] || fail "test log of damaged data: $out"
mkdir xb
out=$(drv cmd "x -hk \"$(W bad.arj)\" \"$(W xb)\\\"")
lacks "$out" "rc=0" "extract of damaged data"
expect_text "$out" "Skipped : $bad" "extract log of damaged data"
[[ ! -e xb/$bad && -z $(find xb -name '*.$t*') ]] || fail "damaged entry left a file"
cmp -s xb/a.txt want/a.txt || fail "good entries of a damaged archive"
# Truncated: the entries before the cut still list; commands answer an error.
head -c 50000 m1.arj > cut.arj
out=$(drv cmd "t -hk \"$(W cut.arj)\"")
lacks "$out" "rc=0" "truncated archive"
expect_text "$out" "Error : " "truncated archive log"

# Crafted headers. CRC-32 from gzip's trailer.
crc() { gzip -c | tail -c8 | head -c4; }
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 0xFFFF)); le16 $((($1 >> 16) & 0xFFFF)); }
# header NAME FLAGS METHOD TYPE PACKED ORIGINAL CRCFILE: id, size, basic header, its CRC, no extended header.
header() {
  local body=hdr.$$
  { printf '\x1e\x0b\x01\x00'; printf "\\x$(printf %02x $2)\\x$(printf %02x $3)\\x$(printf %02x $4)\\x00"
    le32 0x5A214321; le32 $5; le32 $6; cat "$7"; printf '\0\0\x20\0\0\0'; printf '%s\0\0' "$1"; } > $body
  printf '\x60\xea'; le16 $(stat -c %s $body); cat $body; crc < $body; printf '\0\0'; rm -f $body
}
stored() { crc < "$2" > c.$$; header "$1" 0 0 0 $(stat -c %s "$2") $(stat -c %s "$2") c.$$; cat "$2"; rm -f c.$$; }
printf 'data\n' > d.txt
printf '\0\0\0\0' > zero.crc
{
  header h.arj 0 0 2 0 0 zero.crc
  stored '../evil.txt' d.txt
  stored '/abs-arj-test.txt' d.txt
  stored 'C:/drive-arj-test.txt' d.txt
  stored 'a/../../up.txt' d.txt
  stored 'nul' d.txt
  # Wrong CRC on stored data.
  header badcrc.txt 0 0 0 5 5 zero.crc; cat d.txt
  # A garbled (password) entry with good data: refused, not decoded as is.
  crc < d.txt > good.crc; header secret.txt 1 0 0 5 5 good.crc; cat d.txt
  # Method 1 claiming 4 GB out of 8 bytes of noise.
  header huge.txt 0 1 0 8 4294967280 zero.crc; printf '\x12\x34\x56\x78\x9a\xbc\xde\xf0'
  stored good.txt d.txt
  printf '\x60\xea\0\0'
} > hostile.arj
prefix_c=$(dirname "$BIN")/wineprefix/drive_c
mkdir -p hx/in
out=$(timeout 60 bash -c "$(declare -f arcdrv winpath); BIN='$BIN' WINE_RUN='$WINE_RUN' arcdrv unarj32j.dll Unarj cmd 'x -hk \"$(W hostile.arj)\" \"$(W hx/in)\\\"'" | tr -d '\r' | iconv -f CP932 -t UTF-8) ||
  fail "hostile archive: no answer"
lacks "$out" "rc=0" "hostile archive answer"
for n in '../evil.txt' '/abs-arj-test.txt' 'C:/drive-arj-test.txt' 'a/../../up.txt' 'nul' 'badcrc.txt' 'secret.txt' 'huge.txt'; do
  grep -qP "^Skipped : \Q$n\E\t" <<<"$out" || fail "hostile entry $n not refused: $out"
done
expect_text "$out" "Melted good.txt" "good entry among hostile ones"
[[ $(cd hx && find . -type f) == ./in/good.txt ]] || fail "hostile archive wrote: $(cd hx && find .)"
[[ ! -e evil.txt && ! -e /abs-arj-test.txt && ! -e "$prefix_c/drive-arj-test.txt" && ! -e up.txt ]] ||
  fail "hostile entry escaped"
# A declared size past the end of the file, and a header size past the limit.
{ header h.arj 0 0 2 0 0 zero.crc; header big.txt 0 0 0 4294967280 4294967280 zero.crc; cat d.txt; } > trunc.arj
expect_text "$(drv cmd "t -hk \"$(W trunc.arj)\"")" "Error : " "huge declared size"
{ header h.arj 0 0 2 0 0 zero.crc; printf '\x60\xea\xff\x7f'; head -c 40000 /dev/zero; } > bighdr.arj
expect_text "$(drv cmd "t -hk \"$(W bighdr.arj)\"")" "Error : " "header size past the limit"
echo "arc_arj: ok"
