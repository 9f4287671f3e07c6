#!/usr/bin/env bash
# Short fuzz run over seeds made by the arj tool (when it is installed).
set -euo pipefail
fuzzer=$1 work=$2
rm -rf "$work"; mkdir -p "$work/corpus" "$work/src/dir"
cd "$work/src"
seq 1 3000 > dir/seq.txt
printf 'hello world hello world hello\n' > a.txt
head -c 20000 "$fuzzer" > dir/bin.dat
if command -v arj >/dev/null; then
  for m in 0 1 4; do arj a -m$m -r -y "$work/corpus/m$m.arj" '*' >/dev/null; done
fi
cd "$work"
"$fuzzer" -max_total_time=10 -timeout=10 -rss_limit_mb=1024 corpus >fuzz.log 2>&1 || { tail -40 fuzz.log; exit 1; }
