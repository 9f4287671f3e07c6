#!/usr/bin/env bash
# tar32.dll on real files under Wine: archives made by tar, bsdtar, gzip,
# bzip2 and compress list and extract byte-exact; archives we make pass the
# other tools; hostile archives write nothing outside the base folder.
source "$TOOLS/archiver_test.sh"

sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
tarcmd() { arcdrv tar32.dll Tar cmd "$1" | tr -d "\r"; }
# True when a listing has an entry of exactly this name (and size and packed
# size, when given).
listed() {
  LC_ALL=C awk -F'\t' -v n="$2" -v s="${3:-}" -v p="${4:-}" \
    '$1 == n && (s == "" || $2 == s) && (p == "" || $3 == p) { f = 1 } END { exit !f }' <<<"$1"
}
# tar_rc WANT COMMAND: runs COMMAND through the DLL, insists on rc=WANT and
# prints its output; tar_refused COMMAND: the same for an answer other than 0.
tar_rc() {
  local want=$1 out; shift
  out=$(tarcmd "$1")
  [[ $(head -1 <<<"$out") == "rc=$want" ]] || fail "want rc=$want for: $1"$'\n'"$out"
  printf '%s\n' "$out"
}
tar_refused() {
  local out; out=$(tarcmd "$1")
  [[ $(head -1 <<<"$out") != "rc=0" ]] || fail "want an error for: $1"$'\n'"$out"
  printf '%s\n' "$out"
}

# Command texts reach the DLL through Wine, which turns UTF-8 arguments into CP932.

# ---- the source tree: UTF-8 names here, the same names in CP932 in src932 ----
long="long_$(printf 'n%.0s' $(seq 1 120))"
deep="$(printf 'd%.0s' $(seq 1 40))/$(printf 'e%.0s' $(seq 1 40))/$(printf 'f%.0s' $(seq 1 40))"
names=("a.txt" "sub/r.bin" "sub/empty.dat" "日本/ソース.txt" "表示.txt" "$long.txt" "$deep/deep.txt")
mkdir -p src src932
for n in "${names[@]}"; do
  mkdir -p "src/$(dirname "$n")" "src932/$(sjis "$(dirname "$n")")"
done
printf 'hello\n' > src/a.txt
head -c 300000 /dev/urandom > src/sub/r.bin
: > src/sub/empty.dat
printf 'so\r\n' > "src/日本/ソース.txt"
{ yes 'display' || true; } | head -c 50000 > "src/表示.txt"
printf 'long\n' > "src/$long.txt"
printf 'deep\n' > "src/$deep/deep.txt"
for n in "${names[@]}"; do cp "src/$n" "src932/$(sjis "$n")"; done
[[ $(sjis "ソ" | od -An -tx1 | tr -d ' ') == 835c ]] || fail "ソ is not 83 5C in CP932"

# ---- peers' archives: list and extract byte-exact ----
(cd src932 && tar --format=gnu -cf ../gnu.tar * && tar --format=ustar -cf ../ustar.tar a.txt sub "$(sjis 日本)" "$(sjis 表示.txt)" \
   && tar --format=gnu -czf ../gnu.tgz * && tar --format=gnu -cjf ../gnu.tar.bz2 * && tar --format=gnu -cf - * | compress -f -c > ../gnu.tar.Z)
(cd src && tar --format=pax -cf ../pax.tar * && bsdtar -cf ../bsd.tar * && bsdtar -czf ../bsd.tgz --format=pax *)
check_tree() {  # $1 extracted folder, $2 the tree it must equal
  diff -r "$1" "$2" >/dev/null || { diff -r "$1" "$2" | head -5; fail "$1 differs from $2"; }
}
for a in gnu.tar gnu.tgz gnu.tar.bz2 gnu.tar.Z pax.tar bsd.tar bsd.tgz; do
  list=$(arcdrv tar32.dll Tar list "$(winpath "$a")" 2>/dev/null)
  listed "$list" "$(sjis "日本/ソース.txt")" || fail "$a: the CP932 name is not listed as stored"$'\n'"$list"
  listed "$list" "$long.txt" || fail "$a: the long name is not listed"
  listed "$list" "$deep/deep.txt" || fail "$a: the deep name is not listed"
  listed "$list" sub/r.bin 300000 || fail "$a: size of sub/r.bin"
  tar_rc 0 "--display-dialog=0 -x \"$(winpath "$a")\" \"$(winpath "out_$a")\\\"" | grep -a "^Melted a.txt" >/dev/null || fail "$a: log"
  check_tree "out_$a" src
done
# ustar splits long paths into prefix and name.
tar_rc 0 "-x \"$(winpath ustar.tar)\" \"$(winpath out_ustar)\\\"" >/dev/null
cmp out_ustar/sub/r.bin src/sub/r.bin && cmp "out_ustar/日本/ソース.txt" "src/日本/ソース.txt" || fail "ustar extraction"

# Chosen entries only; a folder named with /*.* takes what is below it.
tar_rc 0 "-x \"$(winpath gnu.tgz)\" \"$(winpath pick)\\\" \"a.txt\" \"日本/*.*\"" >/dev/null
[[ -f pick/a.txt && -f "pick/日本/ソース.txt" && ! -e pick/sub ]] || fail "chosen entries"
# --use-directory=0 drops the stored folders.
tar_rc 0 "--display-dialog=0 --use-directory=0 -x \"$(winpath gnu.tar)\" \"$(winpath flat)\\\" \"sub/r.bin\"" >/dev/null
cmp flat/r.bin src/sub/r.bin || fail "flat extraction"

# The entry's bytes alone go into the buffer.
out=$(tar_rc 0 "--display-dialog=0 -x -p \"$(winpath gnu.tar.bz2)\" \"日本/ソース.txt\"")
[[ "$(tail -n +2 <<<"$out")" == so ]] || fail "print to buffer: $out"

# Number fields padded on the left with NULs, as some writers store them.
python3 - <<'PY'
def hdr(name, size):
    h = bytearray(512)
    h[0:len(name)] = name
    h[100:108] = b"\0\0\x30644 \0"
    h[108:116] = h[116:124] = b"\0\0\0\0\0\0\0\0"
    h[124:136] = (b"%o " % size).rjust(11, b"\0") + b"\0"
    h[136:148] = b"\0" + b"%o" % 1700000000
    h[156] = ord("0")
    h[148:156] = b" " * 8
    h[148:156] = (b"%o" % sum(h)).rjust(6, b"\0") + b"\0 "
    assert len(h) == 512
    return bytes(h)
data = b"padded\n"
open("nulpad.tar", "wb").write(hdr(b"pad.txt", len(data)) + data.ljust(512, b"\0") + bytes(1024))
PY
list=$(arcdrv tar32.dll Tar list "$(winpath nulpad.tar)" 2>/dev/null)
listed "$list" pad.txt 7 || fail "NUL-padded header: $list"
tar_rc 0 "-x \"$(winpath nulpad.tar)\" \"$(winpath nulpad)\\\"" >/dev/null
[[ $(cat nulpad/pad.txt) == padded ]] || fail "NUL-padded header content"

# Sparse files, in every form tar writes them, extract to their real bytes
# (holes as zeros) under their real names, and list at their real size with
# what the archive holds as the packed size. many.bin has more fragments
# than the old GNU header holds (extension blocks follow it) and a pax 1.0
# map of several blocks; the plain file after the sparse ones still reads.
mkdir -p sparse_src
python3 -c "
def make(name, parts, size):
    with open('sparse_src/' + name, 'wb') as f:
        for at, data in parts: f.seek(at); f.write(data)
        f.truncate(size)
make('sp.bin', [(100000, b'A' * 5000), (300000, b'end')], 300003)
make('hole.bin', [(0, b'head')], 200000)
make('void.bin', [], 70000)
make('many.bin', [(i * 65536, b'x%03d' % i * 25) for i in range(100)], 100 * 65536)"
echo after > sparse_src/after.txt
sparse=(sp.bin hole.bin void.bin many.bin after.txt)
tar --format=gnu -S -cf sparse_gnu.tar -C sparse_src "${sparse[@]}"
for v in 0.0 0.1 1.0; do tar --format=pax -S --sparse-version=$v -cf "sparse_pax$v.tar" -C sparse_src "${sparse[@]}"; done
tar --format=pax -S --sparse-version=1.0 -czf sparse_pax1.0.tgz -C sparse_src "${sparse[@]}"
(( $(stat -c %s sparse_gnu.tar) < 1000000 )) || fail "tar wrote no sparse entries"
# The data bytes each entry's header declares, by the entry's last name part.
stored_sizes() {
  python3 - "$1" <<'PY'
import gzip, sys
d = open(sys.argv[1], "rb").read()
if d[:2] == b"\x1f\x8b": d = gzip.decompress(d)
i = 0
while i + 512 <= len(d) and any(d[i:i + 512]):
    h, i = d[i:i + 512], i + 512
    size, kind = int(h[124:136].strip(b"\0 ") or b"0", 8), chr(h[156])
    if kind == "S" and h[482]:
        while d[i + 504]: i += 512
        i += 512
    if kind not in "xgLK": print(h[:100].rstrip(b"\0").decode().split("/")[-1], size)
    i += (size + 511) // 512 * 512
PY
}
for a in sparse_gnu.tar sparse_pax0.0.tar sparse_pax0.1.tar sparse_pax1.0.tar sparse_pax1.0.tgz; do
  list=$(arcdrv tar32.dll Tar list "$(winpath "$a")" 2>/dev/null)
  while read -r f packed; do
    listed "$list" "$f" "$(stat -c %s "sparse_src/$f")" "$packed" || fail "$a: $f not listed at its real size, $packed packed"$'\n'"$list"
  done < <(stored_sizes "$a")
  tar_rc 0 "--display-dialog=0 -x \"$(winpath "$a")\" \"$(winpath "out_$a")\\\"" >/dev/null
  for f in "${sparse[@]}"; do cmp "out_$a/$f" "sparse_src/$f" || fail "$a: $f"; done
  [[ $(ls "out_$a" | wc -l) == ${#sparse[@]} ]] || fail "$a: wrote $(ls "out_$a")"
  tar_rc 0 "-t \"$(winpath "$a")\"" | grep -a "^Tested many.bin" >/dev/null || fail "$a: test log"
done
out=$(arcdrv tar32.dll Tar cmd "-x -p \"$(winpath sparse_pax1.0.tar)\" \"hole.bin\"" 100 | tr -d '\r')
[[ $(sed -n 2p <<<"$out") == head ]] || fail "print of a sparse entry: $out"

# ---- single compressed files ----
cp src/表示.txt one.txt
gzip -kf one.txt; bzip2 -kf one.txt; compress -f -c one.txt > one.txt.Z
for a in one.txt.gz one.txt.bz2 one.txt.Z; do
  list=$(arcdrv tar32.dll Tar list "$(winpath "$a")" 2>/dev/null)
  [[ $(cut -f1 <<<"$list") == one.txt ]] || fail "$a lists as $list"
  mkdir -p "single_$a"
  tar_rc 0 "--display-dialog=0 --message-loop=0 -x \"$(winpath "$a")\" \"$(winpath "single_$a")\\\"" | grep -a "^Melted one.txt" >/dev/null || fail "$a log"
  cmp "single_$a/one.txt" one.txt || fail "$a content"
done
[[ $(arcdrv tar32.dll Tar list "$(winpath one.txt.gz)" 2>/dev/null | cut -f2) == 50000 ]] || fail "gzip size in the listing"
cat one.txt.gz one.txt.gz > twice.gz   # multi-member gzip
tar_rc 0 "-x \"$(winpath twice.gz)\" \"$(winpath multi)\\\"" >/dev/null
cat one.txt one.txt | cmp - multi/twice || fail "multi-member gzip"

# ---- archives we make ----
for spec in "plain:: :made.tar" "gz::-z6 :made.tgz" "bz2::-B9 :made.tar.bz2" "byname:: :made2.tar.gz"; do
  IFS=: read -r label _ sw file <<<"$spec"
  tar_rc 0 "--display-dialog=0 -c $sw\"$(winpath "$file")\" \"$(winpath src)\\\" \"a.txt\" \"sub\" \"日本\" \"表示.txt\" \"$long.txt\" \"$(dirname "$(dirname "$deep")")\"" >/dev/null
  tar tf "$file" >/dev/null || fail "tar rejects $file"
  7zz t "$file" >/dev/null || fail "7zz rejects $file"
  mkdir -p "peer_$label"; tar xf "$file" -C "peer_$label"
  # Names are stored in CP932 as the program sees them.
  check_tree "peer_$label" src932
done
gzip -t made.tgz && gzip -t made2.tar.gz && bzip2 -t made.tar.bz2 || fail "stream checks of made archives"
tar tvf made.tar | grep -a "$long.txt" >/dev/null || fail "long name in a made archive"
# Our archives back through the DLL.
tar_rc 0 "-x \"$(winpath made.tar.bz2)\" \"$(winpath back)\\\"" >/dev/null
check_tree back src
# --use-directory=0 stores base names only.
tar_rc 0 "--use-directory=0 --display-dialog=0 -c \"$(winpath flat.tar)\" \"$(winpath src)\\\" \"sub\"" >/dev/null
[[ $(tar tf flat.tar | sort | tr '\n' ' ') == "empty.dat r.bin " ]] || fail "flat packing: $(tar tf flat.tar)"

# Single streams, as the program's two command shapes send them.
tar_rc 0 "cGvfz6 \"$(winpath made_one.txt.gz)\" \"$(winpath one.txt)\"" >/dev/null
# The program sends these with no output buffer at all.
[[ $(arcdrv tar32.dll Tar cmd "cvfGB6 \"$(winpath made_one.txt.bz2)\" \"$(winpath one.txt)\"" 0 | tr -d '\r') == rc=0 ]] \
  || fail "cvfGB6 with no output buffer"
tar_rc 0 "--display-dialog=0 -c -G -z9 \"$(winpath made_two.gz)\" \"$(winpath "$SCRATCH")\\one.txt\"" >/dev/null
gzip -t made_one.txt.gz && bzip2 -t made_one.txt.bz2 && gzip -t made_two.gz || fail "single streams rejected"
gzip -dc made_one.txt.gz | cmp - one.txt && bzip2 -dc made_one.txt.bz2 | cmp - one.txt || fail "single stream content"
7zz t made_one.txt.bz2 >/dev/null || fail "7zz rejects a single bzip2 file"

# ---- test command ----
tar_rc 0 "-t \"$(winpath gnu.tgz)\"" | grep -a "^Tested a.txt" >/dev/null || fail "test log"

# ---- overwrite questions, answered through the dialog's buttons ----
printf 'changed\n' > out_gnu.tar/a.txt
x_a="-x \"$(winpath gnu.tar)\" \"$(winpath out_gnu.tar)\\\" a.txt"
beside answer "いいえ(N)" -- tar_rc 0 "$x_a" | grep -a "^Skipped : a.txt" >/dev/null || fail "no: not skipped"
[[ $(cat out_gnu.tar/a.txt) == changed ]] || fail "no: file replaced"
asked "msgbox: tar32" "the overwrite question"
asked "a.txt" "the question names the file"
beside answer "中止" -- tar_refused "$x_a" >/dev/null
[[ $(cat out_gnu.tar/a.txt) == changed ]] || fail "cancel: file replaced"
beside answer "はい(Y)" -- tar_rc 0 "$x_a" >/dev/null
cmp out_gnu.tar/a.txt src/a.txt || fail "yes: file not replaced"
# All: every existing file of the run is replaced after one answer.
printf 'changed\n' > out_gnu.tar/a.txt
printf 'changed\n' > out_gnu.tar/sub/empty.dat
beside answer "すべて(A)" -- tar_rc 0 "-x \"$(winpath gnu.tar)\" \"$(winpath out_gnu.tar)\\\" a.txt sub/empty.dat" >/dev/null
cmp out_gnu.tar/a.txt src/a.txt && cmp out_gnu.tar/sub/empty.dat src/sub/empty.dat || fail "all: files not replaced"

# ---- a failed creation leaves the old archive alone ----
cp made.tar keep.tar
tar_refused "-c \"$(winpath keep.tar)\" \"$(winpath src)\\\" \"no-such-file\"" >/dev/null
cmp keep.tar made.tar || fail "failed packing touched the archive"
ls keep.tar.* 2>/dev/null && fail "work file left beside the archive"

echo "arc_tar: all cases passed"
