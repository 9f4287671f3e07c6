#!/usr/bin/env bash
# The real program lists real archives made by jlha and zip through the
# stand-in libraries: the tree, every folder's rows (names, sizes, dates,
# ratios, methods) and the totals, read back from the controls. The expected
# packed sizes come from the other tools' own listings (lhasa, unzip).
source "$(dirname "$0")/e2e_common.sh"
src="$SCRATCH/src"
mkdir -p "$src/docs/img"
printf 'hello\r\n' >"$src/a.txt"
seq 1 3000 >"$src/docs/b.txt"
head -c 20000 /dev/urandom >"$src/docs/img/c.bin"
touch -d '2004-03-05 14:07:30' "$src/a.txt" "$src/docs/b.txt" "$src/docs/img/c.bin"
(cd "$src" && jlha a "$SCRATCH/arc.lzh" a.txt docs >/dev/null 2>&1)
(cd "$src" && zip -qr "$SCRATCH/arc.zip" a.txt docs)

# ratio PACKED SIZE: one decimal, halves up.
ratio() { awk -v p="$1" -v s="$2" 'BEGIN { v = s ? p * 1000 / s : 0; printf "%.1f%%", int(v + 0.5) / 10 }'; }
# info NAME: "packed method" of an entry, counted from the end of the line of
# "lha -v" or "unzip -v" (the date takes three fields in one, two in the other).
lzh_info() { lha -v "$SCRATCH/arc.lzh" | awk -v n="$1" '$NF == n { print $(NF - 8), $(NF - 5) }'; }
zip_info() { unzip -v "$SCRATCH/arc.zip" | awk -v n="$1" '$NF == n { print $(NF - 5), $(NF - 6) }'; }
when="2004/03/05 14:07"

check() {  # archive, its root's file count, entry-info reader
  local arc=$1 files=$2 info=$3 out
  row() {  # NAME SIZE SHOWN-SIZE: the row the list should show
    local i
    i=($($info "$1"))
    echo "${1##*/} | $3 | $when | $(ratio "${i[0]}" "$2") | ${i[1]}"
  }
  start_tovix "$BIN/tovix.exe" "$(winpath "$SCRATCH/$arc")"
  out=$(probe wait TVantrelbyHalvek caption status tree list)
  expect_line "$out" "caption: $arc ($(winpath "$SCRATCH")) - Tovix" "$arc caption"
  expect_line "$out" "status[0]: $files Files (33,900 Byte)" "$arc totals"
  [ "$(grep -v -e '^caption' -e '^status' -e ' | ' <<<"$out")" = "$arc *
  docs
    img" ] || fail "$arc tree: $out"
  [ "$(grep ' | ' <<<"$out")" = "docs |  |  |  | -dir-
$(row a.txt 7 7)" ] || fail "$arc root rows: $out"
  out=$(probe wait TVantrelbyHalvek select-node "$arc/docs" list status)
  [ "$(grep ' | ' <<<"$out")" = "img |  |  |  | -dir-
$(row docs/b.txt 13893 13,893)" ] || fail "$arc docs rows: $out"
  expect_line "$out" "status[1]: docs/ [2 Files (13,893 Byte)]" "$arc docs status"
  out=$(probe wait TVantrelbyHalvek select-node "$arc/docs/img" list status)
  [ "$(grep ' | ' <<<"$out")" = "$(row docs/img/c.bin 20000 20,000)" ] ||
    fail "$arc img rows: $out"
  expect_line "$out" "status[1]: docs/img/ [1 Files (20,000 Byte)]" "$arc img status"
  stop_tovix
}
# LHA folder entries (-lhd-) are not counted; ZIP folder entries are.
check arc.lzh 3 lzh_info
check arc.zip 5 zip_info
echo ok
