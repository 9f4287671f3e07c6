#!/usr/bin/env bash
# The edit command puts back what the editor saved, told by the bytes and
# not the time, and never throws an edit away. The real program edits real
# level-1 LHA archives made by jlha in a time zone 14 hours east, so their
# entries are stamped ahead of this machine's clock; the editor is the
# recording stand-in, held open while the test edits the taken-out copy as
# a user would. Then an archive on a full drive: the put-back fails, the
# library's log and a message naming the kept copy are shown, the archive is
# left byte for byte and the edited copy stays where the message says.
export TZ=UTC  # the program's clock, behind the archive's zone
source "$(dirname "$0")/ui_common.sh"
src="$SCRATCH/src"
mkdir -p "$src"
printf 'first\r\n' >"$src/note.txt"
seq 1 300 >"$src/other.txt"
(cd "$src" && TZ=Etc/GMT-14 jlha a1q "$SCRATCH/master.lzh" note.txt other.txt) || fail "jlha"
runs="$SCRATCH/runs.txt" release="$SCRATCH/release"
export RUNREC_LOG=$(winpath "$runs") RUNREC_HOLD=$(winpath "$release")
rr=$(winpath "$BIN/runrec.exe")
winrun reg add 'HKCR\.txt' /ve /d tovixtest.file /f >/dev/null 2>&1
winrun reg add 'HKCR\tovixtest.file\shell\open\command' /ve /d "\"$rr\" open \"%1\"" /f >/dev/null 2>&1
runs_so_far() { grep -c '^run ' "$runs" 2>/dev/null || true; }
ran() { [ "$(runs_so_far)" -ge "$1" ]; }
edit_offered() { probe wait TVantrelbyHalvek menu "編集(E)" | grep -qvF '[disabled]'; }
# edit CHANGE: the edit command on note.txt (the first row); once the editor
# has the taken-out copy (its path in $COPY, as the program named it in
# $COPY_WIN), CHANGE runs with that path and the editor ends.
edit() {
  local n
  n=$(runs_so_far)
  winrun "$BIN/lvclick.exe" TVantrelbyHalvek 0 >/dev/null || fail "click note.txt"
  wait_until 10 "the edit command offered" edit_offered
  probe wait TVantrelbyHalvek command "編集(E)" >/dev/null || fail "edit command"
  wait_until 60 "the editor started" ran $((n + 1))
  COPY_WIN=$(grep '^run ' "$runs" | tail -1 | tr -d '\r' | sed 's/^run open "//; s/" | in .*//')
  COPY=$(winrun winepath -u "$COPY_WIN" 2>/dev/null | tr -d '\r')
  [ -f "$COPY" ] || fail "no taken-out copy: $COPY_WIN"
  "$@" "$COPY"
  touch "$release"
}
saved() { printf 'second\r\n' >"$1"; }
saved_same_time() {
  local t
  t=$(stat -c %Y "$1")
  printf 'third\r\n' >"$1"
  touch -d "@$t" "$1"
}
touched_later() { touch -d '+3 days' "$1"; }
entry() { lhasa pq "$arc" note.txt; }
gone() { [ ! -e "$COPY" ] && [ ! -e "$(dirname "$COPY")" ]; }

# CHANGE | what note.txt holds afterwards ("-": the archive byte for byte).
arc="$SCRATCH/arc.lzh"
while read -r change want; do
  cp "$SCRATCH/master.lzh" "$arc"
  start_tovix "$BIN/tovix.exe" "$(winpath "$arc")"
  edit "$change"
  wait_until 60 "$change: the taken-out copy and its folder removed" gone
  if [ "$want" = - ]; then
    cmp -s "$SCRATCH/master.lzh" "$arc" || fail "$change: an unchanged file was put back"
  else
    [ "$(entry | tr -d '\r')" = "$want" ] || fail "$change: note.txt holds '$(entry)', not '$want'"
    lhasa t "$arc" >/dev/null || fail "$change: archive damaged"
    [ "$(lhasa pq "$arc" other.txt)" = "$(cat "$src/other.txt")" ] || fail "$change: other.txt changed"
  fi
  # Nothing to tell: no message and no log.
  probe wait TVantrelbyHalvek dialog "#32770" 300 >/dev/null 2>&1 && fail "$change: a message was shown"
  probe wait TVantrelbyHalvek dialog TDispDlg 300 >/dev/null 2>&1 && fail "$change: a log was shown"
  stop_tovix
done <<'EOF'
saved second
saved_same_time third
touched_later -
EOF

# A full drive (a small file system of its own, so only where one can be
# mounted): the edit is kept and the user told where.
full="$SCRATCH/full"
mkdir -p "$full"
if ! mount -t tmpfs -o size=64k tmpfs "$full" 2>/dev/null; then
  echo "skipped: the full-drive case needs a tmpfs mount"
  echo ok
  exit 0
fi
trap 'stop_tovix; umount "$full" 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT
arc="$full/arc.lzh"
cp "$SCRATCH/master.lzh" "$arc"
dd if=/dev/zero of="$full/filler" bs=1k 2>/dev/null || true
start_tovix "$BIN/tovix.exe" "$(winpath "$arc")"
edit saved
out=$(probe wait TVantrelbyHalvek dialog TDispDlg 60000 caption memo click OK gone) || fail "no result log: $out"
expect_line "$out" "caption: tovixの編集結果" "put-back log"
expect_text "$out" "note.txt" "put-back log"
out=$(probe wait TVantrelbyHalvek answer OK 60000) || fail "no message: $out"
expect_text "$out" "編集したファイルを書庫に戻せませんでした。" "put-back message"
expect_text "$out" "$COPY_WIN" "put-back message names the kept copy"
stop_tovix
cmp -s "$SCRATCH/master.lzh" "$arc" || fail "the archive changed on a full drive"
[ "$(tr -d '\r' <"$COPY")" = second ] || fail "the edited copy was not kept: $COPY"
[ -z "$(find "$(dirname "$COPY")" -name '*.tovix-orig')" ] || fail "the compared copy was left beside the edit"
ls "$full" | grep -qv '^arc.lzh$\|^filler$' && fail "the library left files on the full drive: $(ls "$full")"
echo ok
