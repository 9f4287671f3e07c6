#!/usr/bin/env bash
# Files dropped on the running program by another process (a real
# WM_DROPFILES, the keys held on the keyboard): one archive opens, plain
# files go to packing (the real save dialog answered, the archive read back
# with lhasa), gzip and bzip2 streams dropped with Ctrl are extracted, Shift
# packs an archive.
source "$(dirname "$0")/../browser_edit/ui_common.sh"
# The streams in the prefix's own C: drive, where the folder picker's walk to
# its proposal meets no other test's folders.
src="$SCRATCH/src" streams="$TOVIX_PREFIX/drive_c/streams"
mkdir -p "$src/docs" "$streams"
printf 'hello\r\n' >"$src/a.txt"
seq 1 3000 >"$src/docs/b.txt"
cp "$src/docs/b.txt" "$src/b.txt"
(cd "$src" && zip -qr "$SCRATCH/arc.zip" a.txt docs)
seq 1 5000 >"$SCRATCH/notes.txt"
head -c 30000 /dev/urandom >"$SCRATCH/data.bin"
gzip -cn "$SCRATCH/notes.txt" >"$streams/notes.txt.gz"
bzip2 -c "$SCRATCH/data.bin" >"$streams/data.bin.bz2"
cp "$src/a.txt" "$streams/plain.txt"
W() { winpath "$1"; }
drop() { winrun "$BIN/dropfiles.exe" "$@" || fail "could not drop $*"; }
# packed_into ARCHIVE: the save dialog packing asks with is answered with
# ARCHIVE; waits for it and closes the result log.
packed_into() {
  save_as "$(W "$1")" >/dev/null || fail "no save dialog for packing into $1"
  # The result log is closed whether or not the archive came; then the check.
  poll 20 test -s "$1" || true
  probe wait TVantrelbyHalvek dialog TDispDlg 5000 click OK >/dev/null 2>&1 || true
  [ -s "$1" ] || fail "nothing packed into $1"
}
names() { lha l "$1" 2>/dev/null | sed '1,2d' | head -n -2 | awk '{print $NF}' | tr '\n' ' '; }
# holds ARCHIVE NAMES WHAT: the archive comes to hold these entries (a pack
# from two folders adds them one folder at a time).
holds() { poll 10 has_names "$1" "$2" || fail "$3: $(names "$1")"; }
has_names() { [ "$(names "$1")" = "$2" ]; }  # ARCHIVE NAMES
caption() { probe wait TVantrelbyHalvek caption; }

start_tovix "$BIN/tovix.exe"
# Plain files, in drop order, with no archive open: packed into a new archive.
drop TVantrelbyHalvek "$(W "$src/b.txt")" "$(W "$src/a.txt")"
packed_into "$SCRATCH/p1.lzh"
holds "$SCRATCH/p1.lzh" "b.txt a.txt " "dropped files packed"
stop_tovix
start_tovix "$BIN/tovix.exe"
# One archive: opened and listed.
drop TVantrelbyHalvek "$(W "$SCRATCH/arc.zip")"
want="caption: arc.zip ($(W "$SCRATCH")) - Tovix"
# captioned WANT: the caption line is WANT; the caption and tree are left in
# $out_tree.
captioned() {
  out_tree=$(probe wait TVantrelbyHalvek caption tree)
  grep -qxF -- "$1" <<<"$out_tree"
}
# Going on when it never comes: the checks below show the caption and tree.
poll 10 captioned "$want" || true
expect_line "$out_tree" "$want" "dropped archive's caption"
expect_line "$out_tree" "  docs" "dropped archive's tree"
# A gzip and a bzip2 stream with Ctrl: both are extracted into the folder
# chosen (the proposed one: theirs) and the open archive is closed.
drop --ctrl TVantrelbyHalvek "$(W "$streams/notes.txt.gz")" "$(W "$streams/data.bin.bz2")"
picked=$(folder_ok "$streams") || fail "no folder picker for the streams"
expect_line "$picked" "Static id=14146 すべての解凍先を指定して下さい。" "picker's title"
# Each file, once written whole.
eventually 60 cmp "$SCRATCH/notes.txt" "$streams/notes.txt" || fail "notes.txt differs"
eventually 60 cmp "$SCRATCH/data.bin" "$streams/data.bin" || fail "data.bin differs"
probe wait TVantrelbyHalvek dialog TDispDlg 3000 click OK >/dev/null 2>&1 || true
no_archive() { [ "$(caption)" = "caption: Tovix" ]; }
wait_until 5 "closed after the streams" no_archive
# A stream with a plain file, Ctrl held: packed.
drop --ctrl TVantrelbyHalvek "$(W "$streams/notes.txt.gz")" "$(W "$streams/plain.txt")"
packed_into "$SCRATCH/p2.lzh"
holds "$SCRATCH/p2.lzh" "notes.txt.gz plain.txt " "stream and file packed"
stop_tovix

# With Shift held an archive is packed, not opened.
start_tovix "$BIN/tovix.exe"
drop --shift TVantrelbyHalvek "$(W "$SCRATCH/arc.zip")"
packed_into "$SCRATCH/p3.lzh"
holds "$SCRATCH/p3.lzh" "arc.zip " "archive packed with Shift"
# The window shows the new archive, never the dropped one.
expect_line "$(caption)" "caption: p3.lzh ($(W "$SCRATCH")) - Tovix" "opened with Shift held"
stop_tovix
exit 0
