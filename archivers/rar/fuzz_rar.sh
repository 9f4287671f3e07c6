#!/usr/bin/env bash
# Short fuzz run over seeds written by mkrar: both formats, folders, a
# split entry, hostile flags.
set -euo pipefail
fuzzer=$1 mkrar=$2 work=$3
rm -rf "$work"; mkdir -p "$work/corpus"
cd "$work"
seq 1 500 > a.txt
printf 'x' > b.txt
for f in 4 5; do
  "$mkrar" -$f corpus/s$f.rar dir/ dir/a.txt=a.txt b.txt= '!m:c.bin=b.txt' '!e:d.bin=b.txt'
  "$mkrar" -$f -v 1000 corpus/v$f.part1.rar big.txt=a.txt
done
"$fuzzer" -max_total_time=10 -timeout=10 -rss_limit_mb=1024 corpus >fuzz.log 2>&1 || { tail -40 fuzz.log; exit 1; }
