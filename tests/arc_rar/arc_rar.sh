#!/usr/bin/env bash
# unrar.dll under Wine on RAR 4 and RAR 5 fixtures written by mkrar: the walk,
# extraction both ways the callers ask for it, volume sets, refusals, and a
# table of hostile archives.
source "$TOOLS/archiver_test.sh"
mkrar() { timeout 60 $WINE_RUN "$BIN/mkrar.exe" "$@"; }
rardrv() { timeout 60 $WINE_RUN "$BIN/rardrv.exe" "$(winpath "$BIN/unrar.dll")" "$@" | tr -d '\r' | iconv -f CP932 -t UTF-8; }
same() { cmp -s "$1" "$2" || fail "$3: $1 differs from $2"; }

seq 1 3000 > a.txt
head -c 70000 "$BIN/unrar.dll" > b.bin
: > empty.src

for f in 4 5; do
  # Stored entries, a folder, names whose second byte is 0x5C (ソ, 表).
  mkrar -$f s$f.rar dir/ dir/a.txt=a.txt 'ソ.txt=b.bin' '表/x.txt=a.txt' empty.txt=
  out=$(rardrv list s$f.rar)
  expect_text "$out" $'dir\t000000e0' "folder entry (RAR $f)"
  expect_text "$out" $'dir\\a.txt\t' "backslash path (RAR $f)"
  expect_text "$out" $'ソ.txt\t' "CP932 name (RAR $f)"
  expect_text "$out" $'表\\x.txt\t' "CP932 folder (RAR $f)"
  expect_text "$out" "end 10" "end of archive (RAR $f)"
  grep -F $'dir\\a.txt' <<<"$out" | grep -qP '\t13893\t13893\t' || fail "sizes (RAR $f): $out"

  for mode in name path; do
    d=out$f$mode
    mkdir "$d"
    out=$(rardrv extract s$f.rar "$(winpath "$d")" $mode)
    expect_text "$out" "end 10" "extract $mode (RAR $f)"
    [[ $(grep -cP '\t0$' <<<"$out") == 5 ]] || fail "extract $mode (RAR $f): $out"
    same "$d/dir/a.txt" a.txt "extract $mode (RAR $f)"
    same "$d/ソ.txt" b.bin "extract $mode (RAR $f)"
    same "$d/表/x.txt" a.txt "extract $mode (RAR $f)"
    same "$d/empty.txt" empty.src "extract $mode (RAR $f)"
  done

  # Test mode feeds the data callback only; a short buffer stops it.
  out=$(rardrv mem s$f.rar 'dir\a.txt' m64.out 64)
  expect_text "$out" "found 1 bytes 64" "to memory (RAR $f)"
  cmp -s m64.out <(head -c 64 a.txt) || fail "to memory (RAR $f): first 64 bytes"
  out=$(rardrv mem s$f.rar 'dir\a.txt' mall.out 1000000)
  expect_text "$out" "test 0" "to memory (RAR $f)"
  same mall.out a.txt "to memory (RAR $f)"

  # What the stand-in cannot decode is refused, a password given or not, and
  # says why on the debugger output; the rest still extracts.
  mkrar -$f c$f.rar '!m:packed.txt=a.txt' '!e:secret.txt=a.txt' ok.txt=b.bin
  mkdir c$f
  out=$(RARDRV_PASSWORD=secret WINEDEBUG=-all,+debugstr rardrv extract c$f.rar "$(winpath c$f)" 2>dbg$f.txt)
  grep -qF 'OutputDebugStringA "unrar: packed.txt : ' dbg$f.txt || fail "no reason for the compressed entry (RAR $f): $(cat dbg$f.txt)"
  grep -qF 'OutputDebugStringA "unrar: secret.txt : ' dbg$f.txt || fail "no reason for the encrypted entry (RAR $f): $(cat dbg$f.txt)"
  expect_text "$out" $'packed.txt\t14' "compressed entry (RAR $f)"
  expect_text "$out" $'secret.txt\t14' "encrypted entry (RAR $f)"
  expect_text "$out" $'ok.txt\t0' "entry after refusals (RAR $f)"
  same c$f/ok.txt b.bin "entry after refusals (RAR $f)"
  [[ $(ls c$f) == ok.txt ]] || fail "refused entries left files (RAR $f): $(ls c$f)"

  # A damaged header ends the walk with 12 after the good entries.
  cp s$f.rar dmg$f.rar
  off=$(grep -m1 -obUa 'a.txt' dmg$f.rar | cut -d: -f1)
  printf 'X' | dd of=dmg$f.rar bs=1 seek="$off" conv=notrunc status=none
  out=$(rardrv list dmg$f.rar)
  expect_text "$out" "end 12" "damaged header (RAR $f)"
  expect_text "$out" $'dir\t' "entries before the damage (RAR $f)"

  # Two volumes with an entry split across them.
  mkrar -$f -v 50000 v$f.part1.rar big.bin=b.bin after.txt=a.txt
  [[ -f v$f.part2.rar && ! -f v$f.part3.rar ]] || fail "two volumes expected (RAR $f): $(ls v$f*)"
  out=$(rardrv list v$f.part1.rar)
  expect_text "$out" $'big.bin\t000000' "split entry listed (RAR $f)"
  [[ $(grep -c '^big.bin' <<<"$out") == 2 ]] || fail "both parts listed (RAR $f): $out"
  expect_text "$out" "end 10" "volume walk (RAR $f)"
  out=$(rardrv list v$f.part2.rar)
  fl=$(grep -m1 '^big.bin' <<<"$out" | cut -f2)
  (( 0x$fl & 1 )) || fail "continued flag (RAR $f): $out"
  mkdir v$f
  out=$(rardrv extract v$f.part1.rar "$(winpath v$f)")
  expect_text "$out" $'big.bin\t0' "spanning extraction (RAR $f)"
  expect_text "$out" $'after.txt\t0' "entry after the split (RAR $f)"
  same v$f/big.bin b.bin "spanning extraction (RAR $f)"
  same v$f/after.txt a.txt "spanning extraction (RAR $f)"
  # Second volume missing and the prompt answered 0: the spanning entry stops.
  mv v$f.part2.rar hidden.rar
  mkdir vm$f
  out=$(RARDRV_VOL=0 rardrv extract v$f.part1.rar "$(winpath vm$f)")
  mv hidden.rar v$f.part2.rar
  expect_text "$out" "mode 0" "volume prompt (RAR $f)"
  grep -qP '^big.bin\t0$' <<<"$out" && fail "missing volume reported success (RAR $f)"
  [[ -z $(ls vm$f) ]] || fail "missing volume left files (RAR $f): $(ls vm$f)"
done

# The checked-in archives, one per format, made by mkrar when it was known
# good: the reader must keep reading them as it did.
seq 1 20 > a20.txt
for f in 4 5; do
  out=$(rardrv list "$SRC/tests/arc_rar/fixtures/stored$f.rar" | cut -f1-4,6)
  if [[ $f == 4 ]]; then fl=(000000e0 00000040 00000240 00000240); else fl=(000000e0 00000020 00000020 00000020); fi
  want=$(printf '%s\n' "dir"$'\t'"${fl[0]}"$'\t0\t0\t00000000' \
    'dir\a.txt'$'\t'"${fl[1]}"$'\t51\t51\t6bd49ffd' \
    'ソ.txt'$'\t'"${fl[2]}"$'\t2\t2\t98c64403' \
    '表\x.txt'$'\t'"${fl[3]}"$'\t51\t51\t6bd49ffd' 'end 10')
  [[ $out == "$want" ]] || fail "checked-in fixture (RAR $f): $out"
  mkdir fx$f
  rardrv extract "$SRC/tests/arc_rar/fixtures/stored$f.rar" "$(winpath fx$f)" >/dev/null
  cmp -s fx$f/表/x.txt a20.txt && [[ $(cat fx$f/ソ.txt) == so ]] || fail "checked-in fixture extract (RAR $f)"
done

# A date past 2038, which the 32-bit runtime's time_t cannot hold.
for f in 4 5; do
  mkrar -$f -t 20400304050608 d$f.rar a.txt=a.txt
  grep -qP '^a.txt\t.*\t786428c4\t' <<<"$(rardrv list d$f.rar)" || fail "date past 2038 listed (RAR $f)"
  mkdir d$f
  rardrv extract d$f.rar "$(winpath d$f)" >/dev/null
  [[ $(stat -c %y d$f/a.txt) == '2040-03-04 05:06:08.'* ]] || fail "date past 2038 (RAR $f): $(stat -c %y d$f/a.txt)"
done

# Old volume naming: x.rar, x.r00.
mkrar -4 -old -v 50000 o.rar big.bin=b.bin
[[ -f o.r00 ]] || fail "old naming: $(ls o.*)"
mkdir o
out=$(rardrv extract o.rar "$(winpath o)")
expect_text "$out" $'big.bin\t0' "old naming"
same o/big.bin b.bin "old naming"

# Hostile archives: every case is refused or reported, nothing lands outside
# the destination, and no call hangs (timeout).
prefix_c=$(dirname "$BIN")/wineprefix/drive_c
for f in 4 5; do
  mkrar -$f h$f.rar '../evil.txt=a.txt' '/abs-rar-test.txt=a.txt' 'C:/drive-rar-test.txt=a.txt' \
    'a/../../up.txt=a.txt' 'con=a.txt' '!c:badcrc.txt=a.txt' '!h:huge.txt=a.txt' good.txt=a.txt
  mkdir -p hx$f/in
  out=$(rardrv extract h$f.rar "$(winpath hx$f/in)")
  for n in '..\evil.txt' '\abs-rar-test.txt' 'C:\drive-rar-test.txt' 'a\..\..\up.txt' 'con'; do
    grep -qP "^\Q$n\E\t16$" <<<"$out" || fail "unsafe name $n not refused (RAR $f): $out"
  done
  expect_text "$out" $'badcrc.txt\t12' "wrong CRC (RAR $f)"
  expect_text "$out" $'huge.txt\t12' "huge declared size (RAR $f)"
  expect_text "$out" $'good.txt\t0' "good entry among hostile ones (RAR $f)"
  [[ $(cd hx$f && find . -type f | sort) == ./in/good.txt ]] || fail "files outside or left (RAR $f): $(cd hx$f && find .)"
  [[ ! -e evil.txt && ! -e /abs-rar-test.txt && ! -e "$prefix_c/drive-rar-test.txt" && ! -e up.txt ]] ||
    fail "hostile entry escaped (RAR $f)"
  # Truncated: the entry whose data runs past the end answers 12.
  head -c $(( $(stat -c %s s$f.rar) - 40 )) s$f.rar > t$f.rar
  expect_text "$(rardrv list t$f.rar)" "end 12" "truncated (RAR $f)"
done
# A header size that cannot move the walk forward (RAR 4: 0 at the first
# file header; RAR 5: a size of 0) answers 12 at once.
cp s4.rar loop4.rar
printf '\0\0' | dd of=loop4.rar bs=1 seek=25 conv=notrunc status=none
expect_text "$(rardrv list loop4.rar)" "end 12" "header loop (RAR 4)"
cp s5.rar loop5.rar
printf '\0' | dd of=loop5.rar bs=1 seek=20 conv=notrunc status=none
expect_text "$(rardrv list loop5.rar)" "end 12" "header loop (RAR 5)"
head -c 5000 "$BIN/unrar.dll" > notrar.rar
expect_text "$(rardrv list notrar.rar)" "open failed 13" "not a RAR archive"
# A RAR stored in another container is that container's member, not a RAR
# archive; behind a program (a self-extractor) it is one.
tar -cf tarred.rar a.txt s5.rar
expect_text "$(rardrv list tarred.rar)" "open failed 13" "RAR inside a tar"
cat "$BIN/rardrv.exe" s5.rar > sfx5.exe
expect_text "$(rardrv list sfx5.exe)" "end 10" "RAR behind a program"
# RAR 4 names come from the Unicode copy: a code page copy written by a
# packing system of another code page ('?' for every character that is not
# ASCII) is not the name. The names use every mode of the copy's encoding:
# runs from the code page copy ("ab", ".txt"), with a correction ("ーー"),
# the shared high byte (kana), two-byte characters (表).
mkrar -4 u4.rar '!a:表だよ/ファイル.txt=a.txt' '!a:ab表cdーーef.txt=b.bin' '!a:Ω.txt=empty.src' 'ソ表.txt=a.txt'
out=$(rardrv list u4.rar)
mkdir u4
rardrv extract u4.rar "$(winpath u4)" >/dev/null
while IFS='|' read -r stored file src; do
  expect_text "$out" "$stored"$'\t' "RAR 4 Unicode name $stored"
  same "u4/$file" "$src" "RAR 4 Unicode name $stored"
done <<'EOF'
表だよ\ファイル.txt|表だよ/ファイル.txt|a.txt
ab表cdーーef.txt|ab表cdーーef.txt|b.bin
Ω.txt|Ω.txt|empty.src
ソ表.txt|ソ表.txt|a.txt
EOF

# RAR 5 redirections: hard links and file copies get the data of the entry
# they name, a symbolic link that of its target inside the extraction
# folder; a link that points outside it or at nothing is refused (16), and
# nothing is written outside. Both ways the callers name the target.
mkrar -5 l5.rar data/a.txt=a.txt '!k:hard.txt=data/a.txt' '!y:copy/c.txt=data/a.txt' '!s:data/sym.txt=a.txt' \
  '!s:up.txt=../a.txt' '!s:abs.txt=/etc/passwd' '!k:gone.txt=missing.txt' '!s:loop.txt=loop.txt'
for mode in name path; do
  mkdir -p l5$mode/in
  out=$(rardrv extract l5.rar "$(winpath l5$mode/in)" $mode)
  while IFS='|' read -r entry rc file; do
    expect_text "$out" "$entry"$'\t'"$rc" "redirection $entry ($mode)"
    [[ -z $file ]] || same "l5$mode/in/$file" a.txt "redirection $entry ($mode)"
  done <<'EOF'
data\a.txt|0|data/a.txt
hard.txt|0|hard.txt
copy\c.txt|0|copy/c.txt
data\sym.txt|0|data/sym.txt
up.txt|16|
abs.txt|16|
gone.txt|16|
loop.txt|16|
EOF
  [[ $(cd l5$mode && find . -type f | sort | tr '\n' ' ') == "./in/copy/c.txt ./in/data/a.txt ./in/data/sym.txt ./in/hard.txt " ]] ||
    fail "redirections wrote other files ($mode): $(cd l5$mode && find .)"
done
echo "arc_rar: ok"
