#!/usr/bin/env bash
# Single-instance hand-over between two real processes: the second start
# ends without a window and the first gets its command line by DDE.
source "$(dirname "$0")/common.sh"
regclear
regset Other 2Err 1
trap 'probe find TVantrelbyHalvek close >/dev/null 2>&1 || true; regclear' EXIT
mkdir -p "$SCRATCH/work"
echo y >"$SCRATCH/work/note.txt"
# A real archive, so the first instance shows it in its caption.
(cd "$SCRATCH/work" && jlha a arc.lzh note.txt >/dev/null 2>&1) || fail "jlha"

start_tovix "$SCRATCH/first.trace"
probe wait TVantrelbyHalvek 30000 >/dev/null || fail "first window"

# Second start with a relative archive path: handed over, made absolute.
# The window can be found a moment before its DDE service answers; a start
# in that moment is dropped by design, so a loaded machine may need a retry.
for try in 1 2 3; do
  (cd "$SCRATCH/work" && TOVIX_TRACE=$(winpath "$SCRATCH/second.trace") timeout 60 $WINE_RUN "$BIN/tovix.exe" arc.lzh) ||
    fail "second start did not end"
  [ -s "$SCRATCH/second.trace" ] && fail "second start did work itself: $(cat "$SCRATCH/second.trace")"
  for i in $(seq 50); do grep -q '^list:' "$SCRATCH/first.trace" 2>/dev/null && break; sleep 0.2; done
  grep -q '^macro:' "$SCRATCH/first.trace" 2>/dev/null && break
done
grep -q '^macro: .*tovix.exe" "' "$SCRATCH/first.trace" || fail "no macro: $(cat "$SCRATCH/first.trace")"
grep -qF "list: $(winpath "$SCRATCH/work/arc.lzh")" "$SCRATCH/first.trace" ||
  fail "first instance did not open the archive: $(cat "$SCRATCH/first.trace")"
out=$(probe wait TVantrelbyHalvek caption | tr -d '\r')
expect_line "$out" "caption: arc.lzh ($(winpath "$SCRATCH/work")) - Tovix" "caption of the first instance"

# Two paths: packed in the first instance.
: >"$SCRATCH/first.trace"
(cd "$SCRATCH/work" && timeout 60 $WINE_RUN "$BIN/tovix.exe" arc.lzh note.txt) || fail "second start (two paths)"
for i in $(seq 50); do grep -q '^pack:' "$SCRATCH/first.trace" 2>/dev/null && break; sleep 0.2; done
grep -qF "pack: $(winpath "$SCRATCH/work/arc.lzh")|$(winpath "$SCRATCH/work/note.txt")" "$SCRATCH/first.trace" ||
  fail "not packed: $(cat "$SCRATCH/first.trace")"

# No arguments: only restored, nothing else happens.
: >"$SCRATCH/first.trace"
# The macro runs inside the DDE call the second start waits for.
timeout 60 $WINE_RUN "$BIN/tovix.exe" || fail "second start (no arguments)"
grep -qE '^(list|pack):' "$SCRATCH/first.trace" && fail "empty macro did something: $(cat "$SCRATCH/first.trace")"
probe wait TVantrelbyHalvek close wait-exit 20000 || fail "first window did not close"

# A running window whose DDE service has another name: the link fails and
# the second start still ends.
cp "$BIN/tovix.exe" "$SCRATCH/other.exe"
TOVIX_TRACE=$(winpath "$SCRATCH/other.trace") winrun "$SCRATCH/other.exe" >/dev/null 2>&1 &
probe wait TVantrelbyHalvek 30000 >/dev/null || fail "other window"
(cd "$SCRATCH/work" && timeout 60 $WINE_RUN "$BIN/tovix.exe" arc.lzh) || fail "second start with no link did not end"
grep -q '^macro:' "$SCRATCH/other.trace" 2>/dev/null && fail "macro reached a server of another name"
probe wait TVantrelbyHalvek close wait-exit 20000 || fail "other window did not close"
echo ok
