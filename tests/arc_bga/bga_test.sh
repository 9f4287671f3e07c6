#!/usr/bin/env bash
# bga32.dll under Wine: GZA and BZA round trips, the layout byte by byte,
# editing commands, the self-extractor and hostile input.
source "$TOOLS/archiver_test.sh"
ad() { arcdrv "$@" | tr -d '\r'; }
bga() { ad bga32.dll Bga cmd "$1"; }
names() { ad bga32.dll Bga list "$(W "$1")" | cut -f1 | tr '\n' ' '; }
SO=$(printf '\x83\x5c')

mkdir -p src/sub
printf 'hello\r\n' > src/a.txt
python3 -c "
import random; r = random.Random(5)
open('src/sub/b.txt','w').write(' '.join(r.choice(['gza','bza','entry','ソ']) for _ in range(30000)))
open('src/noise.bin','wb').write(bytes(r.randrange(256) for _ in range(70000)))"
printf 'so' > "src/ソ.txt"
: > src/empty.txt
# A date past 2038, which the 32-bit runtime's time_t cannot hold.
touch -d '2040-03-04 05:06:08' src/a.txt

# ---- round trips ----
for m in "-m1 -l6 x.gza" "-m2 -l9 x.bza" "-m1 -l0 s.gza"; do
  set -- $m
  rm -rf out; mkdir out
  log=$(bga "a -r $1 $2 \"$(W "$3")\" \"$(W src)\\\" *.*")
  expect_rc 0 "$log"
  grep -q "^Frozen sub\\\\b.txt" <<<"$log" || fail "no Frozen line: $log"
  [[ $(ad bga32.dll Bga check "$(W "$3")") == 1 ]] || fail "check $3"
  log=$(bga "x -n -r \"$(W "$3")\" \"$(W out)\\\"")
  expect_rc 0 "$log"
  grep -q "^Melted noise.bin" <<<"$log" && grep -q "^mkdir sub" <<<"$log" || fail "log words: $log"
  diff -r src out || fail "$3 round trip differs"
  [[ $(stat -c %Y out/a.txt) == $(stat -c %Y src/a.txt) ]] || fail "$3 date past 2038: $(stat -c %y out/a.txt)"
  [[ $(ad bga32.dll Bga list "$(W "$3")" | grep '^a.txt' | cut -f6,7) == $'7864\t28c4' ]] || fail "$3 listed date"
  expect_rc 0 "$(bga "t \"$(W "$3")\"")"
done
modes=$(ad bga32.dll Bga list "$(W x.bza)" | cut -f9 | sort -u | tr '\n' ' ')
[[ $modes == "BZIP2 " ]] || fail "BZA method text: $modes"
[[ $(ad bga32.dll Bga list "$(W s.gza)" | cut -f9 | sort -u) == STORE ]] || fail "level 0 stores"
[[ $(names x.gza) == "a.txt empty.txt noise.bin sub\\b.txt $SO.txt " ]] || fail "names: $(names x.gza)"

# ---- the layout, byte by byte: a fixture written from the README table ----
# One stored entry "a.txt" = "hi\r\n", 2024-05-06 07:08:10, archive attribute.
printf '\x8b\x06STOR\x04\x00\x00\x00\x04\x00\x00\x00\x0c\x67\xab\xcd\x05\x39\xa6\x58\x20\x00\x00\x00\x05\x00a.txthi\r\n' > fixture.gza
mkdir -p fx && printf 'hi\r\n' > fx/a.txt && touch -d '2024-05-06 07:08:10' fx/a.txt
expect_rc 0 "$(bga "a -l0 \"$(W made.gza)\" \"$(W fx)\\\" a.txt")"
cmp made.gza fixture.gza || fail "packing does not match the documented layout: $(xxd made.gza)"
line=$(ad bga32.dll Bga list "$(W fixture.gza)")
[[ $line == $'a.txt\t4\t4\tcdab670c\t1000\t58a6\t3905\ta--w\tSTORE' ]] || fail "fixture listing: $line"
# Entries of every method written by the layout's own rules read back.
python3 "$SRC/tests/arc_bga/mkbga.py" mixed.gza mixed
rm -rf out; mkdir out
expect_rc 0 "$(bga "x -o \"$(W mixed.gza)\" \"$(W out)\\\"")"
python3 - <<'PY' || fail "mixed fixture contents"
t = b'GZA and BZA fixture text\r\n' * 20
assert open('out/stored.txt','rb').read() == b'hi\r\n'
assert open('out/sub/defl.txt','rb').read() == t
assert open('out/ソ.txt','rb').read() == t
PY

# ---- editing ----
cp x.gza e.gza
expect_rc 0 "$(bga "d \"$(W e.gza)\" a.txt")"
[[ $(names e.gza) == "empty.txt noise.bin sub\\b.txt $SO.txt " ]] || fail "delete one: $(names e.gza)"
expect_rc 0 "$(bga "d \"$(W e.gza)\" sub\\*.*")"
[[ $(names e.gza) == "empty.txt noise.bin $SO.txt " ]] || fail "delete folder: $(names e.gza)"
expect_fail "$(bga "d \"$(W e.gza)\" nothing.txt")"
# The new name is typed into the rename dialog, which proposes the old one.
rename() { beside dialog 名前の変更 controls type 0 "$1" click OK -- bga "$2"; }
log=$(rename z.bin "n -p \"$(W e.gza)\" noise.bin")
expect_rc 0 "$log"
asked "Edit id=100 [focus] noise.bin" "the rename dialog's proposal"
[[ $(names e.gza) == "empty.txt z.bin $SO.txt " ]] || fail "rename: $(names e.gza)"
cp x.gza r.gza
expect_rc 0 "$(rename dir2 "n -p \"$(W r.gza)\" sub\\*.*")"
[[ $(names r.gza) == "a.txt empty.txt noise.bin dir2\\b.txt $SO.txt " ]] || fail "folder rename: $(names r.gza)"
expect_fail "$(rename a.txt "n -p \"$(W r.gza)\" noise.bin")"
rm -rf out; mkdir out
expect_rc 0 "$(bga "x -o \"$(W e.gza)\" \"$(W out)\\\" z.bin")"
cmp out/z.bin src/noise.bin || fail "renamed entry's data"
# The "$" reader prints an entry into the buffer.
printf '$Title=test\r\n' > src/'$'
expect_rc 0 "$(bga "a -n \"$(W r.gza)\" \"$(W src)\\\" \$")"
[[ $(bga "p -n \"$(W r.gza)\" \$" | sed -n 2p) == '$Title=test' ]] || fail "print entry"
rm 'src/$'
# Adding with -n keeps an entry that is as new as the file.
touch -d '2001-01-01' src/a.txt
log=$(bga "a -n -r \"$(W x.gza)\" \"$(W src)\\\" a.txt")
grep -q "^Skipped : a.txt" <<<"$log" || fail "update kept an older file: $log"

# ---- self-extractor ----
rm -rf sfx out; mkdir sfx out
expect_rc 0 "$(bga "s \"$(W x.bza)\" \"$(W sfx)\\\"")"
[[ $(ad bga32.dll Bga check "$(W sfx/x.exe)") == 1 ]] || fail "self-extractor not recognised"
[[ $(names sfx/x.exe) == "$(names x.bza)" ]] || fail "self-extractor listing"
# A GUI program may start Wine's desktop, which must not hold our output open.
winrun sfx/x.exe -q "$(W out)" </dev/null >/dev/null 2>&1 || fail "self-extractor failed"
diff -r src out || fail "self-extractor result differs"
[[ $(ad bga32.dll Bga check "$(W "$BIN/arcdrv.exe")") == 0 ]] || fail "a plain program is not an archive"
[[ $(ad bga32.dll Bga check "$(W src/noise.bin)") == 0 ]] || fail "noise is not an archive"

# ---- hostile input ----
kinds="climb absolute drive truncated truncated-header header-checksum crc huge short bad-data garbage-after"
rm -rf hx && mkdir -p hx
: > hx/batch
python3 "$SRC/tests/arc_bga/mkbga.py" hx $kinds
for kind in $kinds; do
  cp hx/$kind/h.gza hx/$kind/before
  printf 'cmd\tx -o "%s" "%s\\"\n' "$(W hx/$kind/h.gza)" "$(W hx/$kind/base)" >> hx/batch
  printf 'cmd\tt "%s"\n' "$(W hx/$kind/h.gza)" >> hx/batch
  printf 'cmd\td "%s" ok.txt\n' "$(W hx/$kind/h.gza)" >> hx/batch
done
winrun "$BIN/arcbatch.exe" "$(W "$BIN/bga32.dll")" Bga "$(W hx/batch)" | tr -d '\r' > hx/out || fail "batch driver failed"
answer() { awk -v n="$1" '/^@@ /{on = ($2 == n); next} on' hx/out; }
i=0
for kind in $kinds; do
  log=$(answer $i); test=$(answer $((i + 1))); i=$((i + 3))
  expect_fail "$log"
  [[ $(printf '%s\n' "$log" | wc -l) -ge 2 ]] || fail "$kind: no log line"
  case $kind in climb|absolute|drive) ;; *) expect_fail "$test" ;; esac
  # Editing a damaged archive leaves it as it was.
  case $kind in climb|absolute|drive|crc|huge|short|bad-data) ;; *) cmp hx/$kind/h.gza hx/$kind/before || fail "$kind: changed by delete" ;; esac
done
[[ -z $(find hx -type f \( -name 'evil*' -o -name 'huge.txt' -o -name '*.$t*' \)) ]] || fail "hostile input left a file: $(find hx -type f)"
prefix_c=$(dirname "$BIN")/wineprefix/drive_c
[[ ! -e /evil.txt && ! -e "$prefix_c/evil.txt" ]] || fail "an absolute name escaped"
echo "arc_bga: all passed"
