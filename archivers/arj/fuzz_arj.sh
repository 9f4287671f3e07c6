#!/usr/bin/env bash
# Short fuzz runs over seeds made by the arj tool (when it is installed):
# whole archives for the header walk, and the packed streams taken out of
# them for the decoders alone.
set -euo pipefail
fuzzer=$1 decoder=$2 work=$3
rm -rf "$work"; mkdir -p "$work/corpus" "$work/streams" "$work/src/dir"
cd "$work/src"
seq 1 3000 > dir/seq.txt
printf 'hello world hello world hello\n' > a.txt
head -c 20000 "$fuzzer" > dir/bin.dat
if command -v arj >/dev/null; then
  for m in 0 1 4; do arj a -m$m -r -y "$work/corpus/m$m.arj" '*' >/dev/null; done
fi
cd "$work"
python3 - corpus streams <<'PY'
import glob, os, struct, sys
src, out = sys.argv[1], sys.argv[2]
for path in glob.glob(os.path.join(src, '*.arj')):
    d = open(path, 'rb').read()
    pos, first = 0, True
    while d[pos:pos + 2] == b'\x60\xea':
        size = struct.unpack_from('<H', d, pos + 2)[0]
        if size == 0:
            break
        basic = d[pos + 4:pos + 4 + size]
        pos += 4 + size + 4
        while True:  # extended headers
            ext = struct.unpack_from('<H', d, pos)[0]
            pos += 2
            if ext == 0:
                break
            pos += ext + 4
        if first:
            first = False
            continue
        method, packed, original = basic[5], *struct.unpack_from('<II', basic, 12)
        if 1 <= method <= 4 and original < 1 << 24:
            name = '%s-%d' % (os.path.basename(path), pos)
            with open(os.path.join(out, name), 'wb') as f:
                f.write(bytes([method - 1]) + original.to_bytes(3, 'little') + d[pos:pos + packed])
        pos += packed
PY
for t in "$fuzzer corpus" "$decoder streams"; do
  set -- $t
  "$1" -max_total_time=8 -timeout=10 -rss_limit_mb=1024 "$2" >fuzz.log 2>&1 || { tail -40 fuzz.log; exit 1; }
done
