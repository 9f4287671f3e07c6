#!/usr/bin/env bash
# zip32.dll: archives it makes pass unzip and 7zz and extract identically;
# update, delete, encryption, abort, and the self-extractor road (stub plus
# archive with offsets fixed, and back by dropping the stub).
source "$TOOLS/archiver_test.sh"
wiz() { local dll=$1; shift; winrun "$BIN/wizdrv.exe" "$(winpath "$dll")" "$@"; }
Z="$BIN/zip32.dll"
# The last rc= line a driver wrote into the log FILE.
last_rc() { tr -d '\r' < "$1" | grep '^rc=' | tail -1; }

mkdir -p src/sub/deeper
seq 1 20000 > src/sub/numbers.txt
printf 'hello\r\n' > src/a.txt
head -c 70000 /dev/urandom > src/sub/deeper/noise.bin
: > src/empty.txt

# A new archive from a folder and files, as the engine names them.
wiz "$Z" zip "$(W new.zip)" "$(W src)" r6 a.txt sub empty.txt > new.log
[ "$(last_rc new.log)" = rc=0 ] || { cat new.log; fail "zip32 packing"; }
gq 'adding: sub/numbers.txt (deflated' new.log || { cat new.log; fail "no adding lines"; }
unzip -tq new.zip >/dev/null || fail "unzip -t on our archive"
7zz t new.zip >/dev/null || fail "7zz t on our archive"
mkdir un && (cd un && unzip -q ../new.zip) && diff -r src un >/dev/null || fail "unzip extracts our archive differently"
arcdrv unzip32.dll UnZip cmd "-x -o \"$(W new.zip)\" \"$(W ours)\\\"" > ours.log
diff -r src ours >/dev/null || fail "our unzip32 extracts our archive differently"

# Level 0 stores everything; without folder entries there is no "sub/".
wiz "$Z" zip "$(W store.zip)" "$(W src)" r0D a.txt sub > store.log
python3 - store.zip <<'PY' || fail "level 0 / no folder entries"
import sys, zipfile
infos = zipfile.ZipFile(sys.argv[1]).infolist()
assert all(i.compress_type == 0 for i in infos), [(i.filename, i.compress_type) for i in infos]
assert not any(i.filename.endswith("/") for i in infos)
assert "sub/deeper/noise.bin" in [i.filename for i in infos]
PY
# Junk folders: base names only.
wiz "$Z" zip "$(W junk.zip)" "$(W src)" rj sub > /dev/null
[ "$(unzip -Z1 junk.zip | sort | tr '\n' ' ')" = "noise.bin numbers.txt " ] || fail "junk folders"

# A wide tree: entries in name order, each folder's before what it holds,
# however its listing and its files were spread over threads; a hidden
# folder (a dot name under Wine) only with the system switch.
python3 - wide <<'PY'
import os, sys
for a in range(12):
    for b in range(6):
        d = os.path.join(sys.argv[1], "d%02d" % a, "e%d" % b)
        os.makedirs(d)
        for c in range(5):
            open(os.path.join(d, "f%d.txt" % c), "w").write("%d %d %d\n" % (a, b, c) * (40 * c + 1))
os.makedirs(os.path.join(sys.argv[1], "d03", ".hid", "in"))
open(os.path.join(sys.argv[1], "d03", ".hid", "in", "x.txt"), "w").write("x\n")
PY
walk_order() {  # ROOT SYSTEM: the entries in the order expected
  python3 - "$1" "$2" <<'PY'
import os, sys
def walk(rel):
    for n in sorted(os.listdir(rel)):
        if n.startswith(".") and sys.argv[2] == "0":
            continue
        p = rel + "/" + n
        if os.path.isdir(p):
            print(p + "/")
            walk(p)
        else:
            print(p)
print(sys.argv[1] + "/")
walk(sys.argv[1])
PY
}
for sys in 0 1; do
  sw=$([ $sys = 1 ] && echo r6s || echo r6)
  rm -f wide.zip && wiz "$Z" zip "$(W wide.zip)" "$(W .)" $sw wide > wide.log
  unzip -tq wide.zip >/dev/null || fail "unzip -t on the wide tree ($sw)"
  diff <(walk_order wide $sys) <(unzip -Z1 wide.zip) > wide.diff || { cat wide.diff; fail "wide tree entries ($sw)"; }
done
rm -rf wide wide.zip

# A compressor's stream (gzip here) is stored without deflating it all, but
# one made without compressing (stored blocks) is deflated like any file.
python3 - gz <<'PY'
import gzip, os, sys
os.makedirs(sys.argv[1])
open(os.path.join(sys.argv[1], "packed.gz"), "wb").write(gzip.compress(os.urandom(60000)))
open(os.path.join(sys.argv[1], "plain.gz"), "wb").write(gzip.compress(b"".join(b"line %d\n" % i for i in range(9000)), 0))
PY
wiz "$Z" zip "$(W gz.zip)" "$(W gz)" 6 packed.gz plain.gz > gz.log
python3 - gz.zip <<'PY' || { cat gz.log; fail "compressed and stored-block gzip files"; }
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
m = {i.filename: i.compress_type for i in z.infolist()}
assert m == {"packed.gz": 0, "plain.gz": 8}, m
assert z.testzip() is None
PY
rm -rf gz gz.zip

# A file too big to hold is deflated as it is read, its CRC and sizes
# written into the header after; with encryption too.
mkdir -p bigsrc && { seq 1 2000000; head -c 3000000 /dev/urandom; } > bigsrc/big.dat
wiz "$Z" zip "$(W big.zip)" "$(W bigsrc)" 6 big.dat > /dev/null
WIZ_PASSWORD=secret wiz "$Z" zip "$(W bige.zip)" "$(W bigsrc)" 6e big.dat > /dev/null
unzip -tq big.zip >/dev/null && unzip -p big.zip big.dat | cmp -s - bigsrc/big.dat || fail "a big file through zip32"
unzip -tq -P secret bige.zip >/dev/null && unzip -p -P secret bige.zip big.dat | cmp -s - bigsrc/big.dat \
  || fail "a big encrypted file through zip32"
rm -rf bigsrc big.zip bige.zip

# Encryption with the password from the callback; none given: nothing made.
WIZ_PASSWORD=secret wiz "$Z" zip "$(W enc.zip)" "$(W src)" re a.txt sub > enc.log
unzip -tq -P secret enc.zip >/dev/null || fail "unzip -t of our encrypted archive"
7zz t -psecret enc.zip >/dev/null || fail "7zz t of our encrypted archive"
unzip -tq -P wrong enc.zip >/dev/null 2>&1 && fail "our encryption accepts a wrong password"
beside dialog パスワードの入力 type 0 secret click OK -- arcdrv unzip32.dll UnZip cmd "-x -o \"$(W enc.zip)\" \"$(W encout)\\\"" > /dev/null
cmp -s encout/sub/numbers.txt src/sub/numbers.txt || fail "our encrypted archive through our unzip32"
wiz "$Z" zip "$(W nopw.zip)" "$(W src)" re a.txt > nopw.log
[ "$(last_rc nopw.log)" != rc=0 ] && [ ! -e nopw.zip ] || fail "encryption without a password must fail and make nothing"

# Update: only newer files replace entries, in place; new files are added.
cp new.zip upd.zip
printf 'changed\n' > src/a.txt; touch -d '2030-01-01' src/a.txt
printf 'new\n' > src/added.txt
wiz "$Z" zip "$(W upd.zip)" "$(W src)" ru a.txt sub empty.txt added.txt > upd.log
gq 'updating: a.txt' upd.log && ! gq 'numbers.txt' upd.log && gq 'adding: added.txt' upd.log \
  || { cat upd.log; fail "update log"; }
[ "$(unzip -p upd.zip a.txt)" = changed ] && [ "$(unzip -p upd.zip added.txt)" = new ] || fail "update contents"
unzip -tq upd.zip >/dev/null || fail "unzip -t after update"

# Past 2038 (where a 32-bit time_t ends): a file dated 2099 keeps its date,
# the same file does not count as newer, a later one does.
mkdir -p far && printf 'far\n' > far/f.txt && touch -d '2099-06-01 12:00:00' far/f.txt
wiz "$Z" zip "$(W far.zip)" "$(W far)" 6 f.txt > far1.log
[ "$(unzip -Z -T far.zip f.txt | awk '{print $(NF-1)}')" = 20990601.120000 ] || { cat far1.log; unzip -Z far.zip; fail "2099 date not stored"; }
# The same date when the file is found by walking its folder.
wiz "$Z" zip "$(W farwalk.zip)" "$(W .)" r far > /dev/null
[ "$(unzip -Z -T farwalk.zip far/f.txt | awk '{print $(NF-1)}')" = 20990601.120000 ] || fail "2099 date lost in a folder walk"
wiz "$Z" zip "$(W far.zip)" "$(W far)" u f.txt > far2.log
! gq 'f.txt' far2.log || { cat far2.log; fail "update replaced a 2099 entry by the same file"; }
printf 'farther\n' > far/f.txt; touch -d '2099-07-01 12:00:00' far/f.txt
wiz "$Z" zip "$(W far.zip)" "$(W far)" u f.txt > far3.log
gq 'updating: f.txt' far3.log && [ "$(unzip -p far.zip f.txt)" = farther ] || { cat far3.log; fail "update missed a newer 2099 file"; }
arcdrv unzip32.dll UnZip cmd "-x -o \"$(W far.zip)\" \"$(W farout)\\\"" > /dev/null
[ "$(stat -c %Y farout/f.txt)" = "$(stat -c %Y far/f.txt)" ] || fail "the 2099 time did not come back"

# Delete: a folder by "sub\*.*"; nothing matched leaves the archive alone.
cp upd.zip del.zip
wiz "$Z" zip "$(W del.zip)" "" x 'sub\*.*' > del.log
[ "$(last_rc del.log)" = rc=0 ] || { cat del.log; fail "delete"; }
unzip -Z1 del.zip | gq '^sub' && fail "sub entries still there"
unzip -Z1 del.zip | gq -x a.txt || fail "delete took too much"
unzip -tq del.zip >/dev/null || fail "unzip -t after delete"
cp del.zip del0.zip
wiz "$Z" zip "$(W del.zip)" "" x nothing.here > del2.log
[ "$(last_rc del2.log)" != rc=0 ] && cmp -s del.zip del0.zip || fail "deleting nothing must answer an error and keep the archive"

# Delete on a full disk: an error told in the log, the archive byte for byte.
# Needs a small file system of its own, so only where one can be mounted.
mkdir -p full
if mount -t tmpfs -o size=96k tmpfs full 2>/dev/null; then
  mkdir -p fullsrc; head -c 60000 /dev/urandom > fullsrc/big.bin; echo small > fullsrc/small.txt
  (cd fullsrc && zip -q0 ../full.keep big.bin small.txt) && cp full.keep full/f.zip
  wiz "$Z" zip "$(W full/f.zip)" "" x small.txt > full.log || true
  same=0; cmp -s full/f.zip full.keep || same=1
  umount full
  [ "$(last_rc full.log)" != rc=0 ] && [ $same = 0 ] && tr -d '\r' < full.log | gq 'could not write' ||
    { cat full.log; fail "delete on a full disk: not told, or the archive changed"; }
fi

# Abort through the service callback: the old archive stays byte for byte.
cp new.zip abort.zip && cp new.zip abort.keep
printf 'newer\n' > src/b.txt
WIZ_ABORT_AT=2 wiz "$Z" zip "$(W abort.zip)" "$(W src)" r a.txt b.txt sub > abort.log
[ "$(last_rc abort.log)" = rc=9 ] || { cat abort.log; fail "abort answer"; }
cmp -s abort.zip abort.keep || fail "abort changed the archive"
ls | gq '\$t' && fail "a temporary file was left behind"

# Hidden files (dot files under Wine) only with the system flag.
printf 'h\n' > src/.hidden
wiz "$Z" zip "$(W hid0.zip)" "$(W src)" r a.txt .hidden > /dev/null
wiz "$Z" zip "$(W hid1.zip)" "$(W src)" rs a.txt .hidden > /dev/null
! unzip -Z1 hid0.zip | gq hidden && unzip -Z1 hid1.zip | gq hidden || fail "hidden files and fSystem"
wiz "$Z" zip "$(W hid2.zip)" "$(W src)" r "*.*" > /dev/null
wiz "$Z" zip "$(W hid3.zip)" "$(W src)" rs "*.*" > /dev/null
! unzip -Z1 hid2.zip | gq hidden && unzip -Z1 hid3.zip | gq hidden || fail "hidden files found by a wildcard and fSystem"
rm src/.hidden src/b.txt src/added.txt

# The archive's time becomes its newest entry's.
find src/sub -exec touch -d '2010-01-01' {} +
touch -d '2011-05-06 07:08:10' src/sub/numbers.txt
wiz "$Z" zip "$(W late.zip)" "$(W src)" rl sub > /dev/null
[ "$(stat -c %Y late.zip)" = "$(stat -c %Y src/sub/numbers.txt)" ] || fail "latest time"

# Japanese names from the file system are stored as code page 932 bytes.
mkdir -p jp/ソフト && printf 'x\n' > jp/ソフト/表.txt && printf 'y\n' > jp/ソ.txt
wiz "$Z" zip "$(W jp.zip)" "$(W jp)" r ソフト ソ.txt > jp.log
python3 - jp.zip <<'PY' || fail "Japanese names in our archive"
import sys, zipfile
names = sorted(i.filename.encode("cp437") for i in zipfile.ZipFile(sys.argv[1]).infolist())
want = sorted(s.encode("cp932") for s in ["ソフト/", "ソフト/表.txt", "ソ.txt"])
assert names == want, (names, want)
PY
arcdrv unzip32.dll UnZip cmd "-x -o \"$(W jp.zip)\" \"$(W jpout)\\\"" > /dev/null
diff -r jp jpout >/dev/null || fail "Japanese names round trip"

# Self-extractor: stub, then the archive, then the offsets fixed.
cat "$BIN/Sfx32gui.dat" new.zip > sfx.exe
wiz "$Z" zip "$(W sfx.exe)" "" A > sfxa.log
[ "$(last_rc sfxa.log)" = rc=0 ] || { cat sfxa.log; fail "fix offsets"; }
unzip -t sfx.exe 2>&1 | gq -i 'extra bytes' && fail "offsets still not counting the stub"
unzip -tq sfx.exe >/dev/null || fail "unzip -t of the self-extractor"
7zz t sfx.exe >/dev/null || fail "7zz t of the self-extractor"
# It asks for the folder in a folder picker (the folder is chosen in its
# tree), then says where it went. Its own folder (what the picker proposes)
# and the one chosen are in a folder of this test's own in the prefix's C:
# drive, where the picker's walk meets no other test's folders.
CZ="$WINEPREFIX/drive_c/arc_zip_zip32"
rm -rf "$CZ" && mkdir -p "$CZ/sfxout"
cp sfx.exe "$CZ/"
beside dialog "#32770" 20000 controls choose-folder "$(W "$CZ/sfxout")" click OK gone answer OK 20000 -- \
  winrun "$CZ/sfx.exe" || fail "the self-extractor failed"
asked "解凍先のフォルダを選んでください。" "the folder question"
asked "msgbox: ZIP 自己解凍 | 解凍しました。" "the closing message"
asked "$(W "$CZ/sfxout")" "the closing message names the folder"
diff -r un "$CZ/sfxout" >/dev/null || fail "the self-extractor extracted differently"
rm -rf "$CZ"
# ... and back: the stub dropped.
cp sfx.exe back.zip
wiz "$Z" zip "$(W back.zip)" "" J > back.log
[ "$(head -c 4 back.zip | od -An -tx1 | tr -d ' ')" = 504b0304 ] || fail "stub not dropped"
unzip -tq back.zip >/dev/null && 7zz t back.zip >/dev/null || fail "archive after dropping the stub"
[ "$(stat -c %s back.zip)" -lt "$(stat -c %s "$BIN/Sfx32gui.dat")" ] || fail "back.zip still holds the stub"
echo "zip32 tests passed"
