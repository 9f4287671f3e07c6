#!/usr/bin/env bash
# The real program previews entries of real archives made by zip, jlha and
# gcab (the cabinet library extracts through the preview work folder):
# Shift-JIS text with both kinds of line end, an HTML page, a BMP, and a PGM
# through the picture plug-in registered for ".pgm" only; a damaged picture
# and a text entry larger than the preview size. What is shown is read from
# the window: the memo's text and the picture's pixels.
source "$(dirname "$0")/../browser_list/e2e_common.sh"
src="$SCRATCH/src" turned="$SCRATCH/turned"
mkdir -p "$src/docs" "$turned"
printf '日本語の一行目\r\n二行目\n三行目\r\n' | iconv -f UTF-8 -t SHIFT_JIS >"$src/jp.txt"
printf '<html>\n<body><h1>Title</h1><ul><li>one<li>two</ul>&lt;end&gt;</body>\n' >"$src/docs/page.htm"
awk 'BEGIN { for (i = 1; i <= 20000; i++) printf "line %05d\n", i }' >"$src/big.txt"
python3 - "$src" <<'PY'
import struct, sys
d = sys.argv[1]
def bmp(w, h):
    row = (w * 3 + 3) // 4 * 4
    px = b"".join(bytes([x * 6 % 256, y * 8 % 256, 200]) * 1 for y in range(h) for x in range(w))
    rows = b"".join(px[y * w * 3:(y + 1) * w * 3] + b"\0" * (row - w * 3) for y in reversed(range(h)))
    return b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54) + \
        struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, 0, 0, 0, 0, 0) + rows
open(f"{d}/pic.bmp", "wb").write(bmp(40, 30))
open(f"{d}/bad.bmp", "wb").write(b"BM" + bytes(range(256)) * 4)
open(f"{d}/pic.pgm", "wb").write(b"P5\n30 20\n255\n" + bytes((x + y) % 256 for y in range(20) for x in range(30)))
open(f"{d}/pic.ppm", "wb").write(b"P6\n12 12\n255\n" + b"\x10\x20\x30" * 144)
PY
# The same archives with pic.pgm turned on its side: as many bytes, 20 x 30.
# Put in place of the open archive, they show whether an entry is taken out
# again: only then does the picture turn.
cp -r "$src/." "$turned"
python3 -c 'import sys; open(sys.argv[1], "wb").write(b"P5\n20 30\n255\n" + bytes((x + y) % 256 for y in range(30) for x in range(20)))' "$turned/pic.pgm"
[ "$(wc -c <"$turned/pic.pgm")" = "$(wc -c <"$src/pic.pgm")" ] || fail "turned pgm fixture"
for d in src turned; do
  (cd "$SCRATCH/$d" && zip -qr "$SCRATCH/$d.zip" jp.txt big.txt pic.bmp bad.bmp pic.pgm pic.ppm docs)
  (cd "$SCRATCH/$d" && jlha a "$SCRATCH/$d.lzh" jp.txt big.txt pic.bmp bad.bmp pic.pgm pic.ppm >/dev/null 2>&1)
  (cd "$SCRATCH/$d" && gcab -c "$SCRATCH/$d.cab" jp.txt big.txt pic.bmp bad.bmp pic.pgm pic.ppm)
done
for e in zip lzh cab; do cp "$SCRATCH/src.$e" "$SCRATCH/arc.$e"; done
unzip -tq "$SCRATCH/arc.zip" >/dev/null || fail "zip fixture"
lha -t "$SCRATCH/arc.lzh" >/dev/null 2>&1 || fail "lzh fixture"
[ "$(cabextract -l "$SCRATCH/arc.cab" | grep -cE '^ +[0-9]+ [|]')" = 6 ] || fail "cab fixture"
plugin=$(winpath "$BIN/pnmpic.dll")
winrun reg add "HKCU\\$SETTINGS_KEY\\Ext" /v Grph /d 1 /f >/dev/null 2>&1
winrun reg add "HKCU\\$SETTINGS_KEY\\Ext" /v G0 /d ".pgm,$plugin" /f >/dev/null 2>&1

# start_preview ARCHIVE: the program with that archive, once it is listed.
start_preview() {
  winrun "$BIN/tovix.exe" "$1" >/dev/null 2>&1 &
  TOVIX_PID=$!
  probe wait TVantrelbyHalvek 60000 >/dev/null || fail "no main window for $1"
  wait_until 10 "the caption names $1" archive_in_caption
}
archive_in_caption() { [ "$(probe wait TVantrelbyHalvek caption)" != "caption: Tovix" ]; }
# row NAME: the row index of NAME in the file list shown now.
row() { probe wait TVantrelbyHalvek list | sed 's/^\* //' | awk -F' [|] ' -v n="$1" '$1 == n { print NR - 1; exit }'; }
# click NAME: a real click on that row of the file list, then a wait until
# the window has handled it (and run the preview it starts): some checks
# after it are that nothing changed.
click() {
  winrun "$BIN/lvclick.exe" TVantrelbyHalvek "$(row "$1")" >/dev/null || fail "click $1"
  probe wait TVantrelbyHalvek taken >/dev/null || fail "click $1 not taken"
}
# memo_after NAME TAB: selects the row on that tab and prints the memo.
memo_after() {
  probe wait TVantrelbyHalvek tab "$2" >/dev/null
  click "$1"
  probe wait TVantrelbyHalvek memo
}
# shown: what the picture pane shows now ("picture: WxH" or "picture: none").
shown() { probe wait TVantrelbyHalvek picture | sed 's/ at .*//'; }
# shows_picture WxH|none: whether the pane shows that; what it shows is left
# in $SHOWN.
shows_picture() { SHOWN=$(shown); [ "$SHOWN" = "picture: $1" ]; }
# showing WxH|none WHAT: until the pane shows that; fails after 10 s with
# what it shows.
showing() { poll 10 shows_picture "$1" || fail "$2: $SHOWN, expected $1"; }
# as NAME ARC: the archive open in the window gets the content of NAME.
as() { cp "$SCRATCH/$1.${2##*.}" "$SCRATCH/$2"; }

# Files taken out for a preview are deleted once read.
work_files() { find "$TOVIX_PREFIX/drive_c" -path '*/tovix.[0-9]*/*' -type f 2>/dev/null; }

for arc in arc.zip arc.lzh arc.cab; do
  start_preview "$(winpath "$SCRATCH/$arc")"
  # Text: CR LF and LF both end lines.
  out=$(memo_after jp.txt 1)
  want=$(printf '日本語の一行目\n二行目\n三行目\n')
  [ "$(tail -n +2 <<<"$out")" = "$want" ] || fail "$arc text: $out"
  expect_line "$out" "memo: $(( $(wc -c <"$src/jp.txt") + 1 )) bytes" "$arc text size"
  # A larger entry fills the memo up to the preview size only; through the
  # work folder its first 32 KB are read, and their line ends made CR LF.
  out=$(memo_after big.txt 1)
  size=65536
  [ "$arc" != arc.cab ] || size=$((32768 + $(head -c 32768 "$src/big.txt" | tr -cd '\n' | wc -c)))
  expect_line "$out" "memo: $size bytes" "$arc preview size"
  [ "$(sed -n 2p <<<"$out")" = "line 00001" ] || fail "$arc big text start: $(head -3 <<<"$out")"
  # Pictures: chosen on the folder tab, taken out only when the picture
  # tab opens (the archive changed in between shows which).
  probe wait TVantrelbyHalvek tab 0 >/dev/null
  click pic.pgm
  as turned "$arc"
  probe wait TVantrelbyHalvek tab 2 >/dev/null
  showing 20x30 "$arc: pgm through the plug-in, taken out when its tab opened"
  click pic.bmp
  showing 40x30 "$arc bmp"
  click pic.pgm
  showing 20x30 "$arc pgm"
  # The same entry again is not taken out again.
  as src "$arc"
  click pic.pgm
  [ "$(shown)" = "picture: 20x30" ] || fail "$arc: pgm taken out again: $(shown)"
  # Not registered (the plug-in reads it too): the picture stays; damaged:
  # nothing shown, and the window lives on.
  click pic.ppm
  [ "$(shown)" = "picture: 20x30" ] || fail "$arc: ppm shown: $(shown)"
  click bad.bmp
  showing none "$arc: damaged bmp"
  probe wait TVantrelbyHalvek caption >/dev/null || fail "$arc: the window is gone"
  click pic.pgm
  showing 30x20 "$arc: pgm after another entry"
  [ -z "$(work_files)" ] || fail "$arc: left in the work folder: $(work_files)"
  if [ "$arc" = arc.zip ]; then
    probe wait TVantrelbyHalvek select-node "arc.zip/docs" >/dev/null
    out=$(memo_after page.htm 1)
    [ "$(tail -n +2 <<<"$out" | tr '\n' '/')" = "Title/// * one/ * two<end>/" ] || fail "html: $out"
  fi
  stop_tovix
  [ -z "$(ls "$SCRATCH"/*.bmp "$SCRATCH"/*.pgm 2>/dev/null)" ] || fail "files left beside the archive"
done
echo ok
