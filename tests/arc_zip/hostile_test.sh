#!/usr/bin/env bash
# Hostile archives through both unzip32 kinds and zip32: each is refused or
# reported, the good entry beside it still comes out where the format allows,
# nothing lands outside the base folder, and nothing crashes or hangs.
source "$TOOLS/archiver_test.sh"
# A hang fails the test instead of stalling it.
wiz() { local dll=$1; shift; timeout 60 $WINE_RUN "$BIN/wizdrv.exe" "$(winpath "$dll")" "$@"; }
arcdrv_bounded() { timeout 60 $WINE_RUN "$BIN/arcdrv.exe" "$(winpath "$BIN/$1")" "${@:2}"; }
IZ="$BIN/infozip/unzip32.dll"
absname="/tmp/tovix-zip-hostile-$$.txt"
mkdir -p arcs jail
python3 "$SRC/tests/arc_zip/make_hostile.py" arcs "$absname"

# archive  good entry comes out (1/0)
table="climb 1
absolute 1
drive 1
device 1
truncated 1
badcrc 1
huge 1
overlap 1
cdsize 0
cdname 0
zip64loop 0
cut 0
garbage 0"

while read -r name good; do
  z=arcs/$name.zip
  for kind in common infozip; do
    base=jail/$name-$kind/base
    mkdir -p "$base"
    if [ $kind = common ]; then
      arcdrv_bounded unzip32.dll UnZip cmd "-x -o \"$(W $z)\" \"$(W $base)\\\"" > $name-$kind.log 2>&1 || true
      rc=$(tr -d '\r' < $name-$kind.log | grep -m1 '^rc=')
      [ -n "$rc" ] || { cat $name-$kind.log; fail "$name: common kind gave no answer (crash?)"; }
    else
      wiz "$IZ" extract "$(W $z)" "$(W $base)" do > $name-$kind.log 2>&1 || true
      rc=$(tr -d '\r' < $name-$kind.log | grep '^rc=' | tail -1)
      [ -n "$rc" ] || { cat $name-$kind.log; fail "$name: Info-ZIP kind gave no answer (crash?)"; }
    fi
    [ "$rc" != rc=0 ] || { cat $name-$kind.log; fail "$name: $kind kind reported success"; }
    gq -E 'Error|Skipped|error' $name-$kind.log || { cat $name-$kind.log; fail "$name: $kind kind gave no log line"; }
    if [ "$good" = 1 ]; then
      cmp -s "$base/ok.txt" <(python3 -c 'import sys; sys.stdout.write("good data\n" * 50)') \
        || { cat $name-$kind.log; fail "$name: $kind kind lost the good entry"; }
    fi
    # Only the good entry (and nothing half-written) below the base folder.
    extra=$(find "$base" -type f ! -name ok.txt)
    [ -z "$extra" ] || fail "$name: $kind kind left $extra"
  done
done <<< "$table"

# Testing reports damage as well.
for name in truncated badcrc huge overlap cdsize; do
  arcdrv_bounded unzip32.dll UnZip cmd "-t \"$(W arcs/$name.zip)\"" > $name-t.log 2>&1 || true
  tr -d '\r' < $name-t.log | gq -x 'rc=0' && fail "$name: test reported success"
done

# Nothing anywhere outside the base folders.
[ ! -e "$absname" ] || { rm -f "$absname"; fail "an absolute name was written"; }
[ -z "$(find jail -mindepth 2 -maxdepth 2 ! -name base)" ] || fail "something beside a base folder"
[ -z "$(find / -maxdepth 1 -name 'rootabs.txt' -o -maxdepth 1 -name 'drive*.txt' 2>/dev/null)" ] || fail "written at a root"
[ ! -e evil.txt ] && [ ! -e jail/evil.txt ] && [ ! -e jail/evil2.txt ] || fail "a climbing name got out"

# Memory extraction of a huge declared size fails at once instead of allocating.
arcdrv_bounded unzip32.dll UnZip mem "\"$(W arcs/huge.zip)\" \"huge.txt\"" huge.out > hugemem.log
tr -d '\r' < hugemem.log | gq '^rc=0' && fail "ExtractMem of a huge declared size succeeded"
wiz "$IZ" mem "$(W arcs/huge.zip)" huge.txt huge2.out | tr -d '\r' | gq '^rc=0 ' || fail "Wiz_UnzipToMemory of a huge size"

# The packer refuses damaged archives and leaves them as they were.
printf 'x\n' > add.txt
for name in overlap cdsize garbage; do
  cp arcs/$name.zip keep.zip
  wiz "$BIN/zip32.dll" zip "$(W arcs/$name.zip)" "$(W .)" r add.txt > zip-$name.log
  tr -d '\r' < zip-$name.log | gq -x 'rc=0' && fail "zip32 changed the damaged $name.zip"
  cmp -s keep.zip arcs/$name.zip || fail "zip32 touched the damaged $name.zip"
done
echo "hostile tests passed"
