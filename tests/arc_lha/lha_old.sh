#!/bin/bash
# Archives of older and odder makers: the older methods, level-3 headers,
# OS-9's short level-2 sizes, an Amiga folder stored as an empty file, and
# the "." folder entry of jlha. Each extracts through unlha32.dll to the
# tree it was made from; lhasa reads the same bytes where it can, which
# checks the fixtures themselves.
source "$TOOLS/archiver_test.sh"
F=$SCRATCH/fixtures; mkdir -p "$F"
winrun "$BIN/lha_mkold.exe" "$(winpath "$F")"
drv() { arcdrv unlha32.dll Unlha "$@" 2>/dev/null | tr -d "\r"; }

# archive | lhasa reads it | a listed entry and its method
cases=(
  "lh1|yes|big.txt -lh1-"
  "lzs|yes|sub\\text.txt -lzs-"
  "lz5|yes|pattern.bin -lz5-"
  "level3|yes|l3\\deep\\one.txt -lh0-"
  "os9|no|os9\\text.txt -lh0-"
  "amiga|no|adir\\file.txt -lh0-"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name peer listed <<<"$c"
  arc=$F/$name.lzh want=$F/expect-$name
  if [ "$peer" = yes ]; then
    rm -rf "peer-$name"; mkdir "peer-$name"
    (cd "peer-$name" && lhasa x "$arc" >/dev/null 2>&1) || fail "lhasa cannot extract $name.lzh"
    diff -r "$want" "peer-$name" >/dev/null || fail "lhasa extracts $name.lzh differently: the fixture is wrong"
  fi
  [ "$(drv check "$(winpath "$arc")")" = 1 ] || fail "CheckArchive refused $name.lzh"
  drv list "$(winpath "$arc")" | awk -F'\t' '{print $1, $9}' | grep -qxF -- "$listed" \
    || fail "$name.lzh: listing lacks '$listed': $(drv list "$(winpath "$arc")")"
  log=$(drv cmd "t \"$(winpath "$arc")\"")
  [ "$(rc_of "$log")" = 0 ] || fail "testing $name.lzh: $log"
  rm -rf "out-$name"; mkdir "out-$name"
  log=$(drv cmd "x -c1 -a1 \"$(winpath "$arc")\" \"$(winpath "out-$name")\\\"")
  [ "$(rc_of "$log")" = 0 ] || fail "extracting $name.lzh: $log"
  diff -r "$want" "out-$name" >/dev/null || fail "$name.lzh extracts differently: $(diff -r "$want" "out-$name" | head -5)"
done

# The Amiga folder lists as a folder entry, as the program knows them.
drv list "$(winpath "$F/amiga.lzh")" | awk -F'\t' '{print $1, $9}' | grep -qxF 'adir -lhd-' \
  || fail "the Amiga folder does not list as a folder: $(drv list "$(winpath "$F/amiga.lzh")")"
# Amiga protection bits are no MS-DOS attributes: no hidden or system file.
attrs=$(drv list "$(winpath "$F/amiga.lzh")" | awk -F'\t' '$1 == "adir\\file.txt" {print $8}')
[[ $attrs != *[hHsS]* ]] || fail "Amiga protection bits became attributes: $attrs"

# jlha stores the folder it was given as "./": the "." entry is the target
# folder itself, and everything extracts with answer 0.
mkdir -p dotsrc/sub && echo hi > dotsrc/a.txt && echo there > dotsrc/sub/b.txt
(cd dotsrc && jlha a ../dot.lzh . >/dev/null 2>&1) || fail "jlha a ."
for verb in x e; do
  rm -rf "dot-$verb"; mkdir "dot-$verb"
  log=$(drv cmd "$verb -c0 -p2 -a1 \"$(winpath dot.lzh)\" \"$(winpath "dot-$verb")\\\"")
  [ "$(rc_of "$log")" = 0 ] || fail "extracting jlha's dot.lzh with $verb: $log"
done
diff -r dotsrc dot-x >/dev/null || fail "dot.lzh extracts differently: $(diff -r dotsrc dot-x | head -5)"
[ "$(cat dot-e/b.txt)" = there ] || fail "e of dot.lzh lost sub/b.txt"
drv list "$(winpath dot.lzh)" | cut -f1 | grep -qx 'sub\\b.txt' || fail "dot.lzh lists './' in its names"

# A file named "." is still no name a file can have.
rm -rf dotfile; mkdir dotfile
log=$(drv cmd "x -c1 \"$(winpath "$F/dotfile.lzh")\" \"$(winpath dotfile)\\\"")
[ "$(rc_of "$log")" != 0 ] || fail "a file named . answered 0: $log"
grep -qF "unsafe path" <<<"$log" || fail "no unsafe line for a file named .: $log"
[ "$(cat dotfile/good.txt)" = $'hello\r' ] || fail "the sound entry beside . was not extracted"
echo "older makers: ${#cases[@]} archives and jlha's . entry"
