#!/usr/bin/env bash
# Runs one fuzz target briefly on seeds made by zip here and now.
#   run-fuzz.sh TARGET dir|data WORKDIR
set -euo pipefail
target=$1 kind=$2 work=$3
rm -rf "$work"; mkdir -p "$work/corpus" "$work/src/sub"
cd "$work/src"
seq 1 300 > sub/numbers.txt
printf 'hello hello hello\n' > a.txt
: > empty.txt
zip -q -r ../plain.zip a.txt sub empty.txt
zip -q -0 ../stored.zip a.txt
zip -q -e -P secret ../enc.zip a.txt sub/numbers.txt
cd "$work"
if [ "$kind" = dir ]; then
  cp plain.zip stored.zip enc.zip corpus/
  head -c 40 plain.zip > corpus/cut.zip
else
  # Seeds in the target's own layout: 12 bytes of entry fields, then the data.
  python3 - "$work" <<'PY'
import sys, struct, zipfile, os
work = sys.argv[1]
for name in ("plain.zip", "stored.zip", "enc.zip"):
    zf = zipfile.ZipFile(os.path.join(work, name))
    raw = open(os.path.join(work, name), "rb").read()
    for i, info in enumerate(zf.infolist()):
        if info.file_size == 0 or info.file_size > 0xFFFFFF:
            continue
        off = info.header_offset
        n, m = struct.unpack("<HH", raw[off + 26:off + 30])
        data = raw[off + 30 + n + m: off + 30 + n + m + info.compress_size]
        kind = (1 if info.compress_type == 8 else 0) | (2 if info.flag_bits & 1 else 0)
        head = bytes([kind]) + struct.pack("<II", info.CRC, info.file_size) + bytes([(info._raw_time >> 8) & 0xFF]) + b"\0\0"
        open(os.path.join(work, "corpus", "%s-%d" % (name, i)), "wb").write(head + data)
PY
fi
"$target" -max_total_time=10 -rss_limit_mb=1024 -max_len=65536 corpus >fuzz.log 2>&1 || { tail -50 fuzz.log; exit 1; }
tail -2 fuzz.log
