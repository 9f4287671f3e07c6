#!/usr/bin/env bash
# Packing speed against the peer tools (not a test): the same input, the same
# run, each pair taken in turns REPS times; the best time of each side is
# compared and the ratio ours / peer printed (1.00 or less: as fast or faster);
# which side goes first alternates (scripts/bench-common.sh).
#   bzip2 -9 of a 30 MB text file: our encoder natively (bz2bench -C) and
#     through tar32.dll (cvfGB9) against bzip2 -9;
#   -lh5- and -lh7- through unlha32.dll against jlha (o5, o7), and deflate
#     through zip32.dll against zip -6: a tree of about 5,000 files (this
#     project's sources and the system's documentation), and the 30 MB file.
# The library runs are whole commands under Wine (arcdrv, wizdrv), the start
# of the Wine process included; its cost alone is printed first. Each pair is
# given in wall time and in CPU time (user + system); our bzip2 and deflate
# encoders code blocks on up to 4 threads (fewer on fewer cores), the LHA
# encoder and every peer on one.
# Usage: scripts/bench-pack.sh [BUILD_DIR [NATIVE_DIR]]   (REPS=N, default 5; ONLY=PART)
set -euo pipefail
source "$(dirname "$0")/bench-common.sh"
bench_setup pack unlha32.dll "${1:-}" "${2:-}"
# ONLY=zip (or bzip2, lha) in the environment: that part alone.
part() { [ -z "${ONLY:-}" ] || [ "$ONLY" = "$1" ]; }
if part bzip2; then native_target bz2bench; fi

# The inputs.
mkdir -p "$work/tree"
(cd "$root" && find archivers classlib browser engine components tests -type f -size -2M | tar -cf - -T -) | tar -xf - -C "$work/tree"
find /usr/share/doc -type f -size -2M | head -4600 | tar -cf - -T - 2>/dev/null | tar -xf - -C "$work/tree"
files=$(find "$work/tree" -type f | wc -l)
tsize=$(du -sb "$work/tree" | cut -f1)
{ find "$root/archivers" "$root/classlib" "$root/browser" -type f \( -name '*.cpp' -o -name '*.h' \) -exec cat {} +
  find /usr/share/doc -name '*.txt' -o -name 'copyright' | head -2000 | xargs cat 2>/dev/null; } > "$work/seed.txt"
: > "$work/big.txt"
while [ "$(stat -c %s "$work/big.txt")" -lt 30000000 ]; do cat "$work/seed.txt" >> "$work/big.txt"; done
head -c 30000000 "$work/big.txt" > "$work/t" && mv "$work/t" "$work/big.txt"
echo "inputs: tree of $files files ($tsize bytes), big.txt of 30,000,000 bytes; best of $reps"
w=$(best 3 "$wine" "$build/bin/tests/arcdrv.exe" "$(winpath "$build/bin/unlha32.dll")" Unlha version)
echo "a Wine process that only loads a library: $w s (in every library time below)"

lha() { "$wine" "$build/bin/tests/arcdrv.exe" "$(winpath "$build/bin/unlha32.dll")" Unlha cmd "$1" 0; }
zip32() { "$wine" "$build/bin/tests/wizdrv.exe" "$(winpath "$build/bin/zip32.dll")" zip "$@"; }
tar32() { "$wine" "$build/bin/tests/arcdrv.exe" "$(winpath "$build/bin/tar32.dll")" Tar cmd "$1" 0; }
in_dir() { local d=$1; shift; (cd "$d" && "$@"); }
bzip2_to() { bzip2 -9 -c "$1" > "$2"; }
T=$(winpath "$work/tree") B=$(winpath "$work")
cores=$(nproc)
mt="ours up to $((cores < 4 ? cores : 4)) ($cores cores here), peer 1" st="ours 1, peer 1"

if part bzip2; then
echo "== bzip2 -9 =="
pair "bzip2 -9, big.txt, native encoder" \
  '"$nat/tests/arc_bzip2/bz2bench" -C "$work/big.txt" "$work/o.bz2" 9' 'bzip2_to "$work/big.txt" "$work/p.bz2"' "$mt"
bzip2 -t "$work/o.bz2" || echo "FAILED: our stream does not pass bzip2 -t"
pair "bzip2 -9, big.txt, through tar32.dll" \
  'tar32 "cvfGB9 \"$(winpath "$work/o.bz2")\" \"$(winpath "$work/big.txt")\""' 'bzip2_to "$work/big.txt" "$work/p.bz2"' "$mt"
bzip2 -t "$work/o.bz2" || echo "FAILED: tar32's stream does not pass bzip2 -t"
echo "sizes: ours $(stat -c %s "$work/o.bz2"), bzip2 $(stat -c %s "$work/p.bz2")"
fi

if part lha; then
echo "== LHA =="
for m in 5 7; do
  sw=$([ $m = 5 ] && echo -jm2 || echo -jm4)
  pair "-lh$m-, tree of $files files, unlha32.dll" \
    'lha "a -r2 -x1 -n $sw \"$B\\o.lzh\" \"$T\\\" *.*"' 'in_dir "$work/tree" jlha ao$m "$work/p.lzh" .' "$st"
  echo "  sizes: ours $(stat -c %s "$work/o.lzh"), jlha $(stat -c %s "$work/p.lzh")"
  pair "-lh$m-, big.txt, unlha32.dll" \
    'lha "a -n $sw \"$B\\o.lzh\" \"$B\\\" big.txt"' 'in_dir "$work" jlha ao$m p.lzh big.txt' "$st"
  echo "  sizes: ours $(stat -c %s "$work/o.lzh"), jlha $(stat -c %s "$work/p.lzh")"
done

fi

if part zip; then
echo "== ZIP (deflate, level 6) =="
pair "zip -6, tree of $files files, zip32.dll" \
  'zip32 "$B\\o.zip" "$T" r6 "*.*"' 'in_dir "$work/tree" zip -q -r -6 "$work/p.zip" .' "$mt"
echo "  sizes: ours $(stat -c %s "$work/o.zip"), zip $(stat -c %s "$work/p.zip")"
pair "zip -6, big.txt, zip32.dll" \
  'zip32 "$B\\o.zip" "$B" 6 big.txt' 'in_dir "$work" zip -q -6 p.zip big.txt' "$mt"
echo "  sizes: ours $(stat -c %s "$work/o.zip"), zip $(stat -c %s "$work/p.zip")"
unzip -tq "$work/o.zip" >/dev/null || echo "FAILED: unzip -t rejects our archive"
fi
