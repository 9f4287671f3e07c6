#!/usr/bin/env bash
# The real program on archives at the edges of what the libraries read: an
# entry over 4 GB (its row and the totals), a ZIP with padding after its end
# record, and archives that cannot be read, where the status bar says why
# instead of showing an empty window.
source "$(dirname "$0")/e2e_common.sh"
cd "$SCRATCH"
mkrar() { timeout 60 $WINE_RUN "$BIN/mkrar.exe" "$@"; }
# The listing of ARCHIVE, once the status bar shows its totals.
listing() {
  winrun "$BIN/tovix.exe" "$(winpath "$SCRATCH/$1")" >/dev/null 2>&1 &
  TOVIX_PID=$!
  # An archive that cannot be read never shows totals: the status says why,
  # and the caller checks that in the last listing taken.
  poll 10 totals_shown || true
  stop_tovix
  printf '%s\n' "$LISTING"
}
# totals_shown: the status bar counts the files; the listing is left in
# $LISTING.
totals_shown() {
  LISTING=$(probe wait TVantrelbyHalvek 60000 status list)
  grep -q '^status\[0\]: [0-9]' <<<"$LISTING"
}

# A ZIP64 entry whose size is patched to 4.5 GB (the listing reads only the
# directory), beside a small one.
printf 'hello\n' > h.txt
seq 1 100 > small.txt
touch -d '2004-03-05 14:07:30' h.txt small.txt
zip -q -fz big.zip h.txt small.txt
python3 - <<'PY'
import struct
b = bytearray(open("big.zip", "rb").read())
i = b.find(b"PK\x01\x02")
n, m = struct.unpack("<HH", b[i + 28:i + 32])
x = i + 46 + n
assert b[i + 46:x] == b"h.txt"
j = x
while j < x + m:
    tag, size = struct.unpack("<HH", b[j:j + 4])
    if tag == 1:
        b[j + 4:j + 12] = struct.pack("<Q", 4831838208)
    j += 4 + size
open("big.zip", "wb").write(b)
PY
out=$(listing big.zip)
expect_line "$out" "status[0]: 2 Files (4,831,838,500 Byte)" "total over 4 GB"
grep -q '^h.txt | 4,831,838,208 | ' <<<"$out" || fail "row of the 4.5 GB entry: $out"

# Padding after the end record.
cp big.zip padded.zip && head -c 100 /dev/zero >> padded.zip
expect_line "$(listing padded.zip)" "status[0]: 2 Files (4,831,838,500 Byte)" "padded ZIP"

# Unreadable archives: the reason, read from the status bar.
printf 'first\n' > a.txt
printf 'second\n' > b.txt
mkrar -4 whole.rar first.txt=a.txt second.txt=b.txt
damage() {  # ARCHIVE NAME OUT: the header holding NAME gets a wrong byte
  local off
  off=$(grep -obUa "$2" "$1" | head -1 | cut -d: -f1)
  cp "$1" "$3"
  printf 'X' | dd of="$3" bs=1 seek="$off" conv=notrunc status=none
}
damage whole.rar first.txt first.rar
damage whole.rar second.txt second.rar
printf 'no archive here\n' > text.zip
# archive | files | reason
while IFS='|' read -r arc files reason; do
  out=$(listing "$arc")
  grep -q "^status\[0\]: $files Files (" <<<"$out" || fail "$arc count: $out"
  expect_line "$out" "status[1]: $reason" "$arc reason"
done <<'EOF'
first.rar|0|書庫が壊れています
second.rar|1|書庫が壊れています
text.zip|0|書庫を開けません (壊れているか、形式が違います)
EOF
echo ok
