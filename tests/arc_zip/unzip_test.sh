#!/usr/bin/env bash
# unzip32.dll, both kinds, on archives made by zip and 7zz: listing, extraction
# byte for byte, the extraction switches, encrypted entries, test, memory.
source "$TOOLS/archiver_test.sh"
wiz() { local dll=$1; shift; winrun "$BIN/wizdrv.exe" "$(winpath "$dll")" "$@"; }
IZ="$BIN/infozip/unzip32.dll"
# The password typed into the library's password dialog, once per try.
PW=(dialog パスワードの入力 type 0)
pw() { local a=(); for p in "$@"; do a+=("${PW[@]}" "$p" click OK); done; printf '%s\n' "${a[@]}"; }

# ---- fixtures ----
mkdir -p src/sub/deeper
seq 1 20000 > src/sub/numbers.txt
printf 'hello\r\n' > src/a.txt
head -c 70000 /dev/urandom > src/sub/deeper/noise.bin
: > src/empty.txt
# Japanese names as code page 932 bytes; "ソ" and "表" end in 0x5C.
jp() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
mkdir -p jpsrc/"$(jp ソフト)"
printf 'so\n' > jpsrc/"$(jp ソ.txt)"
printf 'hyou\n' > jpsrc/"$(jp ソフト)"/"$(jp 表.txt)"
# What the extracted tree looks like from Linux: Wine writes UTF-8 names.
mkdir -p jpwant/ソフト
cp jpsrc/"$(jp ソ.txt)" jpwant/ソ.txt
cp jpsrc/"$(jp ソフト)"/"$(jp 表.txt)" jpwant/ソフト/表.txt

# Even seconds: DOS times keep two-second steps.
find src jpsrc -exec touch -d '2020-02-03 04:05:06' {} +
(cd src && zip -qr ../plain.zip . && zip -qr -0 ../stored.zip . && zip -qr -e -P secret ../enc.zip .)
(cd src && 7zz a -bd -y ../seven.zip . >/dev/null && 7zz a -bd -y -mx0 ../seven0.zip . >/dev/null)
(cd jpsrc && zip -qr ../jp.zip .)

# ZIP64 records (forced), and streamed entries with data descriptors, one
# encrypted (its check byte then comes from the time, not the CRC).
(cd src && zip -q -fz ../z64.zip sub/numbers.txt a.txt)
seq 1 30000 | zip -q - - | cat > stream.zip
seq 1 30000 | zip -q -e -P secret - - | cat > streamenc.zip
seq 1 30000 > stream.want

# The expected listing: name, size, CRC per entry, from Python's reader.
expect_list() {
  python3 - "$1" <<'PY'
import sys, zipfile
for i in zipfile.ZipFile(sys.argv[1]).infolist():
    print("%s\t%d\t%08x" % (i.filename, i.file_size, i.CRC))
PY
}

# ---- common kind: listing and full extraction of every kind of archive ----
for z in plain stored enc seven seven0; do
  expect_list $z.zip | sort > $z.want
  arcdrv unzip32.dll UnZip list "$(W $z.zip)" 2>/dev/null | tr -d '\r' | cut -f1-2,4 | sort > $z.got
  diff $z.want $z.got || fail "common kind lists $z.zip differently"
  run=(arcdrv unzip32.dll UnZip cmd "-x -o \"$(W $z.zip)\" \"$(W out-$z)\\\"")
  if [ $z = enc ]; then beside "${PW[@]}" secret click OK -- "${run[@]}" > $z.log; else "${run[@]}" > $z.log; fi
  gq '^rc=0' $z.log || { cat $z.log; fail "common kind extraction of $z.zip"; }
  diff -r src out-$z >/dev/null || fail "common kind extracted $z.zip differently"
  gq 'Melted ' $z.log || fail "no Melted lines for $z.zip"
done
gq 'mkdir ' plain.log || fail "no mkdir line"

arcdrv unzip32.dll UnZip cmd "-x -o \"$(W z64.zip)\" \"$(W out-z64)\\\"" > z64.log
cmp -s out-z64/sub/numbers.txt src/sub/numbers.txt || { cat z64.log; fail "ZIP64 archive"; }
arcdrv unzip32.dll UnZip cmd "-x -o \"$(W stream.zip)\" \"$(W out-stream)\\\"" > stream.log
beside "${PW[@]}" secret click OK -- arcdrv unzip32.dll UnZip cmd "-x -o \"$(W streamenc.zip)\" \"$(W out-streamenc)\\\"" > streamenc.log
for z in stream streamenc; do
  cmp -s out-$z/- stream.want || { cat $z.log; fail "streamed entry in $z.zip"; }
done
# zip32 keeps such entries intact when it adds to the archive.
printf 'more\n' > more.txt
WIZ_PASSWORD=secret wiz "$BIN/zip32.dll" zip "$(W streamenc.zip)" "$(W .)" 6 more.txt > /dev/null
unzip -tq -P secret streamenc.zip >/dev/null || fail "zip32 broke an entry with a data descriptor"

# Japanese names, a second byte of 0x5C included, land as the same names.
arcdrv unzip32.dll UnZip cmd "-x -o \"$(W jp.zip)\" \"$(W out-jp)\\\"" > jp.log
gq '^rc=0' jp.log || { cat jp.log; fail "Japanese archive"; }
diff -r jpwant out-jp >/dev/null || fail "Japanese names extracted differently"
# 7zz stores such names in UTF-8 with the flag that says so: they come out the same.
(cd jpwant && 7zz a -bd -y ../jp7.zip . >/dev/null)
arcdrv unzip32.dll UnZip cmd "-x -o \"$(W jp7.zip)\" \"$(W out-jp7)\\\"" > jp7.log
diff -r jpwant out-jp7 >/dev/null || { cat jp7.log; fail "7zz's UTF-8 names extracted differently"; }
arcdrv unzip32.dll UnZip list "$(W jp.zip)" 2>/dev/null | cut -f1 | tr -d '\r' | sort > jp.names
printf '%s\n' "$(jp ソ.txt)" "$(jp ソフト/)" "$(jp ソフト/表.txt)" | sort > jp.want
diff jp.want jp.names >/dev/null || fail "Japanese names listed differently"

# Patterns with such names pick exactly their entries.
arcdrv unzip32.dll UnZip cmd "-x -o \"$(W jp.zip)\" \"$(W jpsel)\\\" ソフト\\*.*" > jpsel.log
[ -f jpsel/ソフト/表.txt ] && [ ! -e jpsel/ソ.txt ] || { cat jpsel.log; ls -R jpsel; fail "pattern ソフト\\*.*"; }
arcdrv unzip32.dll UnZip cmd "-x -o \"$(W jp.zip)\" \"$(W jpsel2)\\\" ソ.txt" > jpsel2.log
[ -f jpsel2/ソ.txt ] && [ ! -e jpsel2/ソフト ] || { cat jpsel2.log; ls -R jpsel2; fail "pattern ソ.txt"; }

# -j drops folders; a pattern picks entries; "dir/*.*" takes everything below.
arcdrv unzip32.dll UnZip cmd "-x -o -j \"$(W plain.zip)\" \"$(W junk)\\\" sub/*.*" > junk.log
[ -f junk/numbers.txt ] && [ -f junk/noise.bin ] && [ ! -e junk/sub ] && [ ! -e junk/a.txt ] \
  || { ls -R junk; fail "-j with sub/*.*"; }

# Existing files: the overwrite question (answered through its buttons), -u, -o.
mkdir -p ex && printf 'mine\n' > ex/a.txt
beside answer "いいえ(N)" -- arcdrv unzip32.dll UnZip cmd "-x \"$(W plain.zip)\" \"$(W ex)\\\" a.txt" > ex1.log
gq 'Skipped : a.txt' ex1.log && gq -x 'mine' ex/a.txt || { cat ex1.log; fail "answer no must keep the file"; }
asked "msgbox: 上書きの確認" "the overwrite question"
asked "a.txt は既に存在します" "the question names the file"
beside answer "はい(Y)" -- arcdrv unzip32.dll UnZip cmd "-x \"$(W plain.zip)\" \"$(W ex)\\\" a.txt" > ex2.log
cmp -s ex/a.txt src/a.txt || fail "answer yes must replace the file"
touch -d '2099-01-01' ex/a.txt
arcdrv unzip32.dll UnZip cmd "-u \"$(W plain.zip)\" \"$(W ex)\\\" a.txt" > ex3.log
gq 'Skipped : a.txt' ex3.log || { cat ex3.log; fail "-u must leave a newer file"; }
printf 'old\n' > ex/a.txt; touch -d '2001-01-01' ex/a.txt
arcdrv unzip32.dll UnZip cmd "-u -o \"$(W plain.zip)\" \"$(W ex)\\\" a.txt" > ex4.log
cmp -s ex/a.txt src/a.txt || { cat ex4.log; fail "-u -o must replace an older file"; }
# The stored time comes back.
[ "$(stat -c %Y out-plain/sub/numbers.txt)" = "$(stat -c %Y src/sub/numbers.txt)" ] || fail "time not restored"

# An owner window hears "wm_arcextract" and can stop the run.
wiz "$BIN/unzip32.dll" owner "-x -o \"$(W plain.zip)\" \"$(W own)\\\"" 0 | tr -d '\r' > own.txt
gq -x 'open=1 begin=4 progress=3 end=1' own.txt && gq -x 'rc=0' own.txt || { cat own.txt; fail "owner window messages"; }
wiz "$BIN/unzip32.dll" owner "-x -o \"$(W plain.zip)\" \"$(W own2)\\\"" 2 | tr -d '\r' > own2.txt
gq -x 'rc=0' own2.txt && fail "the owner window could not stop the run"
[ "$(find own2 -type f | wc -l)" = 1 ] || fail "the run went on after the owner stopped it"

# Wrong password: asked three times, then an error answer, a clear line,
# nothing left behind.
beside $(pw wrong wrong wrong) -- arcdrv unzip32.dll UnZip cmd "-x -o \"$(W enc.zip)\" \"$(W badpw)\\\" a.txt" > bad.log
gq '^rc=0' bad.log && fail "wrong password reported as success"
gq 'incorrect password' bad.log || { cat bad.log; fail "no password message"; }
[ -z "$(find badpw -type f 2>/dev/null)" ] || fail "wrong password left a file behind"
# A wrong one first, then the right one, asked again.
beside $(pw wrong secret) -- arcdrv unzip32.dll UnZip cmd "-x -o \"$(W enc.zip)\" \"$(W pw2)\\\" a.txt" > pw2.log
cmp -s pw2/a.txt src/a.txt || { cat pw2.log; fail "second password try"; }

# Test, check, memory.
beside "${PW[@]}" secret click OK -- arcdrv unzip32.dll UnZip cmd "-t \"$(W enc.zip)\"" > t.log
gq '^rc=0' t.log && gq 'Tested sub/numbers.txt' t.log || { cat t.log; fail "-t"; }
[ ! -e sub ] || fail "-t wrote files"
arcdrv unzip32.dll UnZip mem "--i \"$(W plain.zip)\" \"sub/numbers.txt\"" mem.out > mem.log
cmp -s mem.out src/sub/numbers.txt || { cat mem.log; fail "ExtractMem"; }
cp "$BIN/Sfx32gui.dat" sfx.exe && cat plain.zip >> sfx.exe
printf 'not a zip\n' > text.zip
for c in "plain.zip 1" "sfx.exe 1" "text.zip 0"; do
  set -- $c
  [ "$(arcdrv unzip32.dll UnZip check "$(W $1)" | tr -d '\r')" = "$2" ] || fail "CheckArchive $1 should be $2"
done
# A self-extractor's archive (offsets not counting the stub) extracts too.
arcdrv unzip32.dll UnZip cmd "-x -o \"$(W sfx.exe)\" \"$(W out-sfx)\\\"" > sfxx.log
diff -r src out-sfx >/dev/null || { cat sfxx.log; fail "extraction through a prefix"; }
# A log buffer too small is cut, never overrun.
arcdrv unzip32.dll UnZip cmd "-x -o \"$(W plain.zip)\" \"$(W small)\\\"" 20 > small.log || fail "small buffer overran"

# ---- Info-ZIP kind ----
wiz "$IZ" version | tr -d '\r' > v.txt
gq 'UnZipGetVersion missing' v.txt && gq 'unzip 5\.' v.txt || { cat v.txt; fail "Info-ZIP kind version"; }
wiz "$BIN/unzip32.dll" version | tr -d '\r' | gq 'UnZipGetVersion present' || fail "common kind must export UnZipGetVersion"
# The listing's dates come in the locale's order (Japanese: year-month-day) with a two-digit year.
wiz "$IZ" list "$(W plain.zip)" | tr -d '\r' > wl.txt
python3 - plain.zip wl.txt <<'PY' || fail "Info-ZIP kind listing"
import sys, zipfile
want = {}
for i in zipfile.ZipFile(sys.argv[1]).infolist():
    y, m, d, hh, mm, _ = i.date_time
    want[i.filename] = "%d\t%08x\t%d-%d-%d\t%02d:%02d" % (i.file_size, i.CRC, y % 100, m, d, hh, mm)
got = {}
for line in open(sys.argv[2]):
    f = line.rstrip("\n").split("\t")
    if len(f) >= 7:
        got[f[0]] = "\t".join([f[1], f[3], f[4], f[5]])
assert got == want, (got, want)
PY
tail -1 wl.txt | gq -x 'rc=0' || fail "listing answer"
for z in plain enc seven seven0; do
  WIZ_PASSWORD=secret wiz "$IZ" extract "$(W $z.zip)" "$(W iz-$z)" do > iz-$z.log
  tail -1 iz-$z.log | tr -d '\r' | gq -x 'rc=0' || { cat iz-$z.log; fail "Info-ZIP extraction of $z.zip"; }
  diff -r src iz-$z >/dev/null || fail "Info-ZIP kind extracted $z.zip differently"
done
wiz "$IZ" extract "$(W jp.zip)" "$(W iz-jp)" do > iz-jp.log
diff -r jpwant iz-jp >/dev/null || fail "Info-ZIP kind: Japanese names"
# Without folders; only newer with the replace callback; abort through the service callback.
wiz "$IZ" extract "$(W plain.zip)" "$(W iz-flat)" o > /dev/null
[ -f iz-flat/numbers.txt ] && [ ! -e iz-flat/sub ] || fail "Info-ZIP kind without folders"
mkdir -p iz-keep && printf 'mine\n' > iz-keep/a.txt && touch -d '2001-01-01' iz-keep/a.txt
WIZ_REPLACE=100 wiz "$IZ" extract "$(W plain.zip)" "$(W iz-keep)" dn a.txt > /dev/null
gq -x mine iz-keep/a.txt || fail "replace answer 100 must keep the file"
wiz "$IZ" extract "$(W plain.zip)" "$(W iz-keep)" dn a.txt > /dev/null
cmp -s iz-keep/a.txt src/a.txt || fail "replace answer 104 must replace an older file"
WIZ_ABORT_AT=2 wiz "$IZ" extract "$(W plain.zip)" "$(W iz-abort)" do > ab.log
tail -1 ab.log | tr -d '\r' | gq -x 'rc=80' || { cat ab.log; fail "service callback abort"; }
[ "$(find iz-abort -type f | wc -l)" -le 1 ] || fail "abort went on extracting"
# Wrong password, test, memory, validate.
WIZ_PASSWORD=wrong wiz "$IZ" extract "$(W enc.zip)" "$(W iz-bad)" do a.txt > izbad.log
tail -1 izbad.log | tr -d '\r' | gq -x 'rc=0' && fail "Info-ZIP kind: wrong password reported as success"
[ -z "$(find iz-bad -type f 2>/dev/null)" ] || fail "Info-ZIP kind: wrong password left a file"
WIZ_PASSWORD=secret wiz "$IZ" test "$(W enc.zip)" | tr -d '\r' | tail -1 | gq -x 'rc=0' || fail "Info-ZIP test"
wiz "$IZ" mem "$(W seven.zip)" sub/numbers.txt izmem.out > /dev/null
cmp -s izmem.out src/sub/numbers.txt || fail "Wiz_UnzipToMemory"
[ "$(wiz "$IZ" validate "$(W sfx.exe)" | tr -d '\r')" = 1 ] && [ "$(wiz "$IZ" validate "$(W text.zip)" | tr -d '\r')" = 0 ] \
  || fail "Wiz_Validate"
echo "unzip32 tests passed"
