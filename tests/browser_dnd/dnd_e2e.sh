#!/usr/bin/env bash
# Files dropped on the running program by another process (a real
# WM_DROPFILES): one archive opens, plain files go to packing, gzip and
# bzip2 streams dropped with Ctrl are extracted, Shift packs an archive.
source "$(dirname "$0")/../browser_list/e2e_common.sh"
src="$SCRATCH/src" out="$SCRATCH/out"
mkdir -p "$src/docs" "$out"
printf 'hello\r\n' >"$src/a.txt"
seq 1 3000 >"$src/docs/b.txt"
(cd "$src" && zip -qr "$SCRATCH/arc.zip" a.txt docs)
seq 1 5000 >"$SCRATCH/notes.txt"
head -c 30000 /dev/urandom >"$SCRATCH/data.bin"
gzip -kn "$SCRATCH/notes.txt"
bzip2 -k "$SCRATCH/data.bin"
W() { winpath "$1"; }

run() {  # trace: starts the program without an archive
  : >"$1"
  TOVIX_TRACE=$(W "$1") winrun "$BIN/tovix.exe" >/dev/null 2>&1 &
  TOVIX_PID=$!
  probe wait TVantrelbyHalvek 60000 >/dev/null || fail "no main window"
}
drop() { winrun "$BIN/dropfiles.exe" TVantrelbyHalvek "$@" || fail "could not drop $*"; }
traced() {  # trace line: waits for the exact line
  for _ in $(seq 150); do grep -qxF -- "$2" "$1" && return 0; sleep 0.1; done
  fail "no trace line '$2' in: $(cat "$1")"
}

t="$SCRATCH/t1.txt"
export TOVIX_ANSWERS="ctrl=1;folder=$(W "$out")"
run "$t"
# Plain files, in drop order, with no archive open: packing into a new
# archive is asked for (the save dialog is cancelled through the seam).
drop "$(W "$src/docs/b.txt")" "$(W "$src/a.txt")"
traced "$t" "pack: $(W "$src/docs/b.txt")|$(W "$src/a.txt")"
# One archive: opened and listed.
drop "$(W "$SCRATCH/arc.zip")"
traced "$t" "list: $(W "$SCRATCH/arc.zip")"
want="caption: arc.zip ($(W "$SCRATCH")) - Tovix"
for _ in $(seq 100); do
  out_tree=$(probe wait TVantrelbyHalvek caption tree)
  grep -qxF -- "$want" <<<"$out_tree" && break
  sleep 0.1
done
expect_line "$out_tree" "$want" "dropped archive's caption"
expect_line "$out_tree" "  docs" "dropped archive's tree"
# A gzip and a bzip2 stream with Ctrl: both are extracted into the chosen
# folder (and the open archive is closed).
drop "$(W "$SCRATCH/notes.txt.gz")" "$(W "$SCRATCH/data.bin.bz2")"
traced "$t" "unpack dropped: $(W "$SCRATCH/notes.txt.gz")|$(W "$SCRATCH/data.bin.bz2")"
eventually 30 cmp "$SCRATCH/notes.txt" "$out/notes.txt" || fail "notes.txt differs"
eventually 30 cmp "$SCRATCH/data.bin" "$out/data.bin" || fail "data.bin differs"
for _ in $(seq 50); do [ "$(probe wait TVantrelbyHalvek caption)" = "caption: Tovix" ] && break; sleep 0.1; done
expect_line "$(probe wait TVantrelbyHalvek caption)" "caption: Tovix" "closed after the streams"
# A stream with a plain file, Ctrl or not: packed.
drop "$(W "$SCRATCH/notes.txt.gz")" "$(W "$src/a.txt")"
traced "$t" "pack: $(W "$SCRATCH/notes.txt.gz")|$(W "$src/a.txt")"
stop_tovix

# With Shift held an archive is packed, not opened.
t="$SCRATCH/t2.txt"
export TOVIX_ANSWERS="shift=1"
run "$t"
drop "$(W "$SCRATCH/arc.zip")"
traced "$t" "pack: $(W "$SCRATCH/arc.zip")"
stop_tovix
grep -q '^list: ' "$t" && fail "opened with Shift held: $(cat "$t")"
exit 0
