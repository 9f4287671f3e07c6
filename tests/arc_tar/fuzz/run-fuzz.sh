#!/usr/bin/env bash
# Runs one fuzz target briefly on a seed corpus made here by the system's tools.
#   run-fuzz.sh FUZZER KIND WORKDIR   (KIND: tar, bzip2 or lzw)
set -euo pipefail
fuzzer=$(realpath "$1") kind=$2 work=$3
rm -rf "$work"; mkdir -p "$work/src/d" "$work/corpus"
cd "$work/src"
printf 'hello\n' > a.txt
head -c 3000 /dev/urandom > d/r.bin
{ yes tovix || true; } | head -c 20000 > d/rep.txt
long=$(printf 'n%.0s' $(seq 1 130))
printf 'x' > "d/$long"
case $kind in
  tar)
    for f in gnu ustar pax v7; do
      tar --format=$f -cf "$work/corpus/$f.tar" a.txt d 2>/dev/null || tar --format=$f -cf "$work/corpus/$f.tar" a.txt
    done
    tar -czf "$work/corpus/t.tgz" a.txt d
    tar -cjf "$work/corpus/t.tbz" a.txt
    tar -cf - a.txt | compress -f -c > "$work/corpus/t.taz"
    # Sparse files in the old GNU header and in each pax version.
    printf 'tail' | dd of=sp.bin bs=1 seek=20000 conv=notrunc status=none
    truncate -s 30000 sp.bin
    tar --format=gnu -S -cf "$work/corpus/sparse_gnu.tar" sp.bin a.txt
    for v in 0.0 0.1 1.0; do tar --format=pax -S --sparse-version=$v -cf "$work/corpus/sparse_$v.tar" sp.bin a.txt; done
    ;;
  bzip2)
    bzip2 -c a.txt > "$work/corpus/a.bz2"
    bzip2 -1 -c d/rep.txt > "$work/corpus/rep.bz2"
    bzip2 -c d/r.bin > "$work/corpus/r.bz2"
    cat "$work/corpus/a.bz2" "$work/corpus/rep.bz2" > "$work/corpus/multi.bz2"
    ;;
  lzw)
    compress -f -c d/rep.txt > "$work/corpus/rep.Z"
    compress -f -c d/r.bin > "$work/corpus/r.Z"
    compress -f -b10 -c d/rep.txt > "$work/corpus/rep10.Z"
    ;;
esac
cd "$work"
"$fuzzer" -max_total_time=10 -timeout=5 -rss_limit_mb=2048 -print_final_stats=1 corpus 2>&1 | tail -5
