#!/usr/bin/env bash
# The archive properties of the real program on LHA archives made by jlha:
# the shown type, sizes, times and attributes against the file, then the
# update time and read-only bit changed and read back with stat; Cancel
# changes nothing; an archive of empty files shows "-" for the ratio.
source "$(dirname "$0")/../browser_list/e2e_common.sh"
export TZ=UTC
src="$SCRATCH/src"
mkdir -p "$src"
seq 1 3000 >"$src/b.txt"
printf 'hello\r\n' >"$src/a.txt"
: >"$src/empty1.txt"
: >"$src/empty2.txt"
(cd "$src" && jlha a "$SCRATCH/arc.lzh" a.txt b.txt >/dev/null 2>&1)
(cd "$src" && jlha a "$SCRATCH/empty.lzh" empty1.txt empty2.txt >/dev/null 2>&1)
sj() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
traced() { grep -qxF -- "$1" "$TRACE" || fail "$2: no trace line '$1' in: $(iconv -f CP932 -t UTF-8 "$TRACE")"; }
# props ARCHIVE ANSWERS: opens the archive, runs the command with these
# answers and closes the program again.
props() {
  export TOVIX_ANSWERS="$2"
  TRACE="$SCRATCH/t.txt"
  start_tovix "$BIN/tovix.exe" "$TRACE" "$(winpath "$1")"
  probe wait TVantrelbyHalvek command "プロパティ(R)..." >/dev/null
  for _ in $(seq 100); do grep -q '^dialog prop:' "$TRACE" && break; sleep 0.1; done
  grep -q '^dialog prop:' "$TRACE" || fail "no properties dialog: $(cat "$TRACE")"
  stop_tovix
}
arc="$SCRATCH/arc.lzh"
touch -d '2005-06-07 08:09:10.5' "$arc"
read -r comp orig < <(lha v "$arc" | tail -1 | awk '{print $4, $5}')
size=$(stat -c %s "$arc")
# The owner's write bit (the test may run as root, for whom -w is always true).
writable() { [ "$(stat -c %A "$1" | cut -c3)" = w ]; }
group() { printf '%s' "$1" | rev | sed 's/[0-9]\{3\}/&,/g; s/,$//' | rev; }

# What is shown, then Cancel with everything changed: the file stays.
props "$arc" "prop=cancel;prop:Edit1=2001;prop:RonlyBox=1"
traced "prop NameL=arc.lzh" name
traced "prop SyuruiL=$(sj 'LHa書庫ファイル')" type
traced "prop SizeL=$(group "$size") Byte" "size $size"
traced "prop OsizeL=$(group "$orig") Byte" "original $orig"
traced "prop AsizeL=$(group "$comp") Byte" "compressed $comp"
rate=$(awk -v c="$comp" -v o="$orig" 'BEGIN { printf "%.1f%%", c / o * 100 }')
traced "prop RateL=$rate" rate
traced "prop ODateL=$(sj '2005年06月07日火曜日 08:09:10')" "update time"
traced "prop RonlyBox=0" "read-only box"
traced "prop time 2001 6 7 8 9 10" "time editor"
traced "dialog prop: cancel" cancel
[ "$(stat -c %y "$arc")" = "2005-06-07 08:09:10.500000000 +0000" ] || fail "cancel changed the time: $(stat -c %y "$arc")"
writable "$arc" || fail "cancel made the file read-only"

# OK unchanged: only the half second goes.
props "$arc" "prop=ok"
[ "$(stat -c %y "$arc")" = "2005-06-07 08:09:10.000000000 +0000" ] || fail "unchanged OK: $(stat -c %y "$arc")"

# A new update time (typed month 13 becomes 12) and the read-only bit.
props "$arc" "prop=ok;prop:Edit1=2001;prop:Edit2=13;prop:Edit3=3;prop:Edit4=4;prop:Edit5=5;prop:Edit6=8;prop:RonlyBox=1"
traced "prop time 2001 12 3 4 5 8" "typed time"
[ "$(stat -c %y "$arc")" = "2001-12-03 04:05:08.000000000 +0000" ] || fail "new time: $(stat -c %y "$arc")"
! writable "$arc" || fail "not read-only: $(stat -c %A "$arc")"
lha t "$arc" >/dev/null || fail "archive damaged"

# Read-only shown; a read-only archive still takes a new time; then the
# bit cleared.
props "$arc" "prop=ok;prop:Edit1=2010"
traced "prop RonlyBox=1" "read-only shown"
[ "$(stat -c %y "$arc")" = "2010-12-03 04:05:08.000000000 +0000" ] || fail "time of a read-only file: $(stat -c %y "$arc")"
! writable "$arc" || fail "read-only bit lost"
props "$arc" "prop=ok;prop:RonlyBox=0"
writable "$arc" || fail "still read-only: $(stat -c %A "$arc")"
! grep -q 'not set' "$TRACE" || fail "a change failed: $(cat "$TRACE")"

# Entries with no compressed bytes: no ratio.
props "$SCRATCH/empty.lzh" "prop=cancel"
traced "prop OsizeL=0 Byte" "empty original"
traced "prop AsizeL=-" "empty compressed"
traced "prop RateL=-" "empty ratio"
# The real dialog, shown without answers: its caption, and closing it
# changes nothing.
sum=$(stat -c '%y %A' "$arc")
unset TOVIX_ANSWERS
start_tovix "$BIN/tovix.exe" "$SCRATCH/t.txt" "$(winpath "$arc")"
probe wait TVantrelbyHalvek command "プロパティ(R)..." >/dev/null
cap=$(probe wait TPropDlg 10000 caption) || fail "no properties window"
[ "$cap" = "caption: arc.lzh のプロパティ" ] || fail "dialog caption: $cap"
probe wait TPropDlg close waitgone TPropDlg 10000 >/dev/null || fail "dialog not closed"
stop_tovix
[ "$(stat -c '%y %A' "$arc")" = "$sum" ] || fail "closing the dialog changed the file"
# The server writes its registry at the end: it goes before the prefix.
wineserver -k 2>/dev/null || true
rm -rf "$SCRATCH/prefix"
echo ok
