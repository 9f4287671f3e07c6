#!/usr/bin/env bash
# cab32.dll under Wine on real cabinets: made by gcab and read by us, made
# by us and read by cabextract, spanned sets, the self-extractor, and
# hostile input.
source "$TOOLS/archiver_test.sh"
SECONDS=0
step() { echo "[$SECONDS s] $*"; }
trap 'echo "[$SECONDS s] exit"' EXIT
ad() { arcdrv "$@" | tr -d '\r'; }
cab() { ad cab32.dll Cab cmd "$1"; }

# Source tree: a folder, a CP932 name whose second byte is a backslash
# (ソ = 83 5C), a UTF-8 name, an empty file, text and noise.
SO=$(printf '\x83\x5c')
mkdir -p src/sub
printf 'hello\r\n' > src/a.txt
python3 -c "
import random; r = random.Random(3)
open('src/sub/b.txt','w').write(' '.join(r.choice(['cab','folder','frame','ソ']) for _ in range(40000)))
open('src/noise.bin','wb').write(bytes(r.randrange(256) for _ in range(90000)))"
printf 'so' > "src/$SO.txt"
: > src/empty.txt
# A date past 2038, which the 32-bit runtime's time_t cannot hold.
touch -d '2040-03-04 05:06:08' src/a.txt

step "gcab"
# ---- gcab cabinets, stored and MSZIP, read by us ----
# gcab flags every name as UTF-8; the ソ name here is really CP932 and must
# come through unchanged, the UTF-8 one is converted.
printf 'utf' > "src/ソ2.txt"
for z in "" "-z"; do
  rm -rf out; mkdir out
  (cd src && gcab -c $z ../g.cab a.txt sub/b.txt noise.bin "$SO.txt" "ソ2.txt" empty.txt)
  list=$(ad cab32.dll Cab list "$(W g.cab)" | cut -f1,2)
  want=$(printf 'a.txt\t7\nsub\\b.txt\t%s\nnoise.bin\t90000\n%s.txt\t2\n%s2.txt\t3\nempty.txt\t0' \
         "$(stat -c %s src/sub/b.txt)" "$SO" "$SO")
  [[ $list == "$want" ]] || fail "gcab$z listing: $list"
  [[ $(ad cab32.dll Cab check "$(W g.cab)") == 1 ]] || fail "check gcab$z"
  log=$(cab "-x -n \"$(W g.cab)\" \"$(W out)\\\"")
  expect_rc 0 "$log"
  grep -q "^Melted sub\\\\b.txt" <<<"$log" || fail "no Melted line: $log"
  grep -q "^mkdir sub" <<<"$log" || fail "no mkdir line: $log"
  for f in a.txt sub/b.txt noise.bin empty.txt; do cmp "src/$f" "out/$f" || fail "gcab$z $f differs"; done
  [[ $(stat -c %Y out/a.txt) == $(stat -c %Y src/a.txt) ]] || fail "gcab$z date past 2038: $(stat -c %y out/a.txt)"
  [[ $(cat out/ソ.txt) == so && $(cat out/ソ2.txt) == utf ]] || fail "gcab$z CP932 names: $(ls out)"
  # A second run asks; it keeps existing files when the answer is no.
  log=$(beside answer "いいえ(N)" -- cab "-x -n \"$(W g.cab)\" \"$(W out)\\\" a.txt")
  grep -q "^Skipped : a.txt" <<<"$log" || fail "no Skipped line: $log"
  asked "msgbox: cab32" "the overwrite question"
  asked "a.txt" "the question names the file"
  echo changed > out/a.txt
  log=$(beside answer "はい(Y)" -- cab "-x -n \"$(W g.cab)\" \"$(W out)\\\" a.txt")
  cmp src/a.txt out/a.txt || fail "the answer yes did not replace"
  # Junked paths and one folder by its wildcard.
  rm -rf out; mkdir out
  expect_rc 0 "$(cab "-x -o -j \"$(W g.cab)\" \"$(W out)\\\" sub/*.*")"
  [[ $(ls out) == b.txt ]] || fail "junked folder extraction: $(ls out)"
  expect_rc 0 "$(cab "-t \"$(W g.cab)\"")"
done
rm "src/ソ2.txt"
# From here on the tree is made through Wine's view of it: ソ in UTF-8 on
# this side is 83 5C to the library.
mv "src/$SO.txt" "src/ソ.txt"

step "cabinets we make"
# ---- cabinets we make, read by cabextract and by us ----
for m in -mz -mn -ml:15 -ml:21; do
  rm -rf mine.cab out; mkdir out
  log=$(cab "-a -r -g -i $m \"$(W mine.cab)\" \"$(W src)\\\" *.*")
  expect_rc 0 "$log"
  grep -q "^Frozen sub\\\\b.txt" <<<"$log" || fail "no Frozen line: $log"
  cabextract -t mine.cab >/dev/null || fail "cabextract -t on $m"
  cabextract -q -e CP932 -d out mine.cab || fail "cabextract on $m"
  diff -r src out || fail "cabextract result differs for $m"
  [[ $(stat -c %Y out/a.txt) == $(stat -c %Y src/a.txt) ]] || fail "date past 2038 packed with $m: $(stat -c %y out/a.txt)"
  rm -rf out; mkdir out
  expect_rc 0 "$(cab "-x -n \"$(W mine.cab)\" \"$(W out)\\\"")"
  diff -r src out || fail "our result differs for $m"
done
case $(ad cab32.dll Cab list "$(W mine.cab)" | cut -f9 | sort -u) in LZX:21) ;; *) fail "method text" ;; esac
# Adding to an existing cabinet keeps what it holds.
mkdir -p more && echo extra > more/new.txt
expect_rc 0 "$(cab "-a -r -mz \"$(W mine.cab)\" \"$(W more)\\\" new.txt")"
rm -rf out; mkdir out
cabextract -q -e CP932 -d out mine.cab
cp src -r all && cp more/new.txt all/ && diff -r all out || fail "adding lost entries"
expect_fail "$(cab "-a -ml:22 \"$(W bad.cab)\" \"$(W src)\\\" *.*")"
# A file named twice is packed once.
expect_rc 0 "$(cab "-a -r -mz \"$(W twice.cab)\" \"$(W src)\\\" *.* a.txt sub\\b.txt")"
[[ $(cabextract -l twice.cab | grep -c 'a.txt') == 1 ]] || fail "a file named twice"

step "checked-in LZX"
# ---- LZX cabinets of both window sizes, kept from our writer once
# cabextract had read them: the reader is held to them whatever the writer
# does later ----
mkdir -p lzxwant/sub
python3 -c "
import random
r = random.Random(7)
words = ['cabinet', 'frame', 'window', 'match', 'tree', 'ソ', 'folder', 'block', 'offset', 'length']
open('lzxwant/sub/words.txt', 'w', encoding='utf-8', newline='').write(' '.join(r.choice(words) for _ in range(9000)) + '\n')
open('lzxwant/ソ.txt', 'wb').write(b'LZX fixture\r\n' * 3)"
for w in 15 21; do
  fx=$SRC/tests/arc_cab/fixtures/lzx$w.cab
  cabextract -t "$fx" >/dev/null || fail "cabextract -t on lzx$w.cab"
  rm -rf out; mkdir out
  cabextract -q -e CP932 -d out "$fx" && diff -r lzxwant out || fail "cabextract on lzx$w.cab"
  rm -rf out; mkdir out
  expect_rc 0 "$(cab "-x -n \"$(W "$fx")\" \"$(W out)\\\"")"
  diff -r lzxwant out || fail "our extraction of lzx$w.cab"
  [[ $(ad cab32.dll Cab list "$(W "$fx")" | cut -f6,7,9 | sort -u) == $'58a6\t3905\tLZX:'$w ]] ||
    fail "lzx$w.cab listing: $(ad cab32.dll Cab list "$(W "$fx")")"
done

step "a spanned"
# ---- a spanned set ----
python3 -c "open('src/big.bin','wb').write(__import__('os').urandom(300000))"
rm -f span*.cab
expect_rc 0 "$(cab "-a -r -mz -v:64 \"$(W span.cab)\" \"$(W src)\\\" *.*")"
n=$(ls span0*.cab | wc -l)
(( n >= 5 )) || fail "want at least 5 volumes, got $n"
for v in span0*.cab; do (( $(stat -c %s "$v") <= 65536 )) || fail "$v larger than the volume size"; done
cabextract -t span01.cab >/dev/null || fail "cabextract -t on the set"
rm -rf out; mkdir out
cabextract -q -e CP932 -d out span01.cab && diff -r src out || fail "cabextract on the set"
rm -rf out; mkdir out
expect_rc 0 "$(cab "-x -n -k \"$(W span01.cab)\" \"$(W out)\\\"")"
diff -r src out || fail "our extraction of the set"
# Without -k a file that runs into the next volume is skipped, and says so.
rm -rf out; mkdir out
log=$(cab "-x -n \"$(W span01.cab)\" \"$(W out)\\\" big.bin")
expect_fail "$log"
grep -q "^Skipped : big.bin" <<<"$log" || fail "spanned file without -k: $log"
# A volume in the middle missing: an error, not a crash.
mv span03.cab span03.away
log=$(cab "-x -n -k \"$(W span01.cab)\" \"$(W out)\\\"")
expect_fail "$log"
mv span03.away span03.cab
rm src/big.bin

step "self-extractor"
# ---- self-extractor ----
rm -rf sfx out; mkdir sfx out
cab "-a -r -mz \"$(W s.cab)\" \"$(W src)\\\" *.*" >/dev/null
expect_rc 0 "$(cab "-f \"$(W s.cab)\" \"$(W sfx)\\\"")"
[[ -f sfx/s.exe ]] || fail "no self-extractor"
# The engine finds the cabinet by the first "MSCF" and two zero bytes after 0x8000.
off=$(python3 -c "
d = open('sfx/s.exe','rb').read()
i = d.find(b'MSCF\0\0', 0x8000)
print(i if i > 0x8000 else -1)")
stub=$(( $(stat -c %s sfx/s.exe) - $(stat -c %s s.cab) ))
[[ $off == "$stub" ]] || fail "cabinet at $off, stub is $stub bytes"
tail -c +$((stub + 1)) sfx/s.exe | cmp - s.cab || fail "cabinet not appended whole"
[[ $(ad cab32.dll Cab check "$(W sfx/s.exe)") == 1 ]] || fail "self-extractor not recognised"
# A GUI program may start Wine's desktop, which must not hold our output open.
winrun sfx/s.exe -q "$(W out)" </dev/null >/dev/null 2>&1 || fail "self-extractor failed"
diff -r src out || fail "self-extractor result differs"

step "hostile"
# ---- hostile input: refused or reported, never written outside, no crash ----
kinds="climb climb2 absolute drive device truncated truncated-header checksum huge many-blocks loop"
rm -rf hx && mkdir -p hx
: > hx/batch
python3 "$SRC/tests/arc_cab/mkcab.py" hx $kinds
for kind in $kinds; do
  printf 'cmd\t-x -o -k "%s" "%s\\"\n' "$(W hx/$kind/h.cab)" "$(W hx/$kind/base)" >> hx/batch
  printf 'cmd\t-t "%s"\n' "$(W hx/$kind/h.cab)" >> hx/batch
  printf 'check\t%s\n' "$(W hx/$kind/h.cab)" >> hx/batch
done
winrun "$BIN/arcbatch.exe" "$(W "$BIN/cab32.dll")" Cab "$(W hx/batch)" | tr -d '\r' > hx/out || fail "batch driver failed"
answer() { awk -v n="$1" '/^@@ /{on = ($2 == n); next} on' hx/out; }
i=0
for kind in $kinds; do
  log=$(answer $i); test=$(answer $((i + 1))); i=$((i + 3))
  expect_fail "$log"
  [[ $(printf '%s\n' "$log" | wc -l) -ge 2 ]] || fail "$kind: no log line"
  case $kind in climb*|absolute|drive|device) ;; *) expect_fail "$test" ;; esac
  # A set that loops back on itself is refused, not read volume after volume.
  [[ $kind != loop || $(wc -l <<<"$test") -lt 5 ]] || fail "loop: $(head -5 <<<"$test")"
done
[[ -z $(find hx -type f \( -name 'evil*' -o -name 'huge.txt' -o -name 'NUL' -o -name '*.$t*' \)) ]] || fail "hostile input wrote a file: $(find hx -type f)"
prefix_c=$(dirname "$BIN")/wineprefix/drive_c
[[ ! -e /evil.txt && ! -e "$prefix_c/evil.txt" ]] || fail "an absolute name escaped"
[[ $(wc -l < hx/out) -ge 60 ]] || fail "batch cut short (a crash?): $(tail -3 hx/out)"
python3 "$SRC/tests/arc_cab/mkcab.py" hx/g.cab good
expect_rc 0 "$(cab "-x -o \"$(W hx/g.cab)\" \"$(W hx)\\\"")"
cmp hx/ok.txt <(printf 'hostile payload\n') || fail "good cabinet"
echo "arc_cab: all passed"
