#!/usr/bin/env bash
# Finding entries in a real folder tree of archives made by jlha, zip and tar
# (with a damaged archive and a text file named like one among them), through
# the real program's find command; then opening the archive of a hit,
# cancelling a search and a search without conditions.
source "$(dirname "$0")/../browser_list/e2e_common.sh"
tree="$SCRATCH/tree"
src="$SCRATCH/src"
mkdir -p "$tree/sub/deep" "$src/docs"
seq 1 1000 >"$src/docs/readme.txt"   # 3893 bytes
printf 'other\r\n' >"$src/other.txt"
touch -d '2004-03-05 14:07:00' "$src/docs/readme.txt" "$src/other.txt"
(cd "$src" && jlha a "$tree/a.lzh" docs/readme.txt other.txt >/dev/null 2>&1)
(cd "$src" && zip -q "$tree/sub/c.zip" other.txt docs/readme.txt)
(cd "$src" && tar cf "$tree/sub/deep/d.tar" docs/readme.txt)
(cd "$src" && tar czf "$tree/sub/e.tar.gz" docs/readme.txt && tar czf "$tree/sub/f.tgz" other.txt)
head -c 60 "$tree/sub/c.zip" >"$tree/bad.zip"
head -c 200 "$tree/sub/c.zip" >"$tree/sub/bad2.zip"
printf 'not an archive\r\n' >"$tree/fake.lzh"
cp "$src/docs/readme.txt" "$tree/readme.txt"
lha t "$tree/a.lzh" >/dev/null && unzip -tq "$tree/sub/c.zip" >/dev/null && tar tf "$tree/sub/deep/d.tar" >/dev/null ||
  fail "fixtures"

W=$(winpath "$tree")
sj() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
TRACE="$SCRATCH/t.txt"
# find ANSWERS: starts the program on no archive, runs the find command with
# those answers, waits for the dialog to end and stops the program.
find_run() {
  : >"$TRACE"
  TOVIX_ANSWERS="$1" TOVIX_TRACE=$(winpath "$TRACE") winrun "$BIN/tovix.exe" >/dev/null 2>&1 &
  TOVIX_PID=$!
  probe wait TVantrelbyHalvek 60000 command "検索(F)..." >/dev/null || fail "find command"
  for _ in $(seq 150); do grep -qE '^find: (picked|nothing|[0-9]+ hits|.*disabled)|^findcond' "$TRACE" && break; sleep 0.1; done
  sleep 1
  [ -z "${2:-}" ] || AFTER=$(probe wait TVantrelbyHalvek $2)
  stop_tovix
}
hits() { grep '^find| ' "$TRACE" | sed 's/^find| //' | tr -d '\r' || true; }
row() { printf 'readme.txt | 3,893 | %s | %s' "$DATE" "$W\\$1"; }
DATE='2004/03/05 14:07'
same_rows() {  # what, expected rows
  local got
  got=$(hits)
  [ "$got" = "$2" ] || fail "$1: rows
$got
expected
$2
trace: $(cat "$TRACE")"
}

# The whole tree for three types: one row per archive that holds a match (in
# any folder of the archive, shown by its file name), in
# walk order (this folder's patterns, then the subfolders); the damaged and
# the fake archives and the plain file give nothing.
find_run "find:name=readme.*;find:dir=$W\\;find:sub=1;find:types=lha,zip,tar;find=search"
same_rows "tree" "$(row a.lzh)
$(row 'sub\c.zip')
$(row 'sub\deep\d.tar')"
grep -q '^find: 3 hits' "$TRACE" || fail "count"
# Without subfolders only the top folder; GZip finds .gz and .tgz, and sorting
# by size then archive (descending on the second click).
find_run "find:name=*.txt;find:dir=$W;find:sub=0;find:types=lha;find=search"
same_rows "top" "$(row a.lzh)
other.txt | 7 | $DATE | $W\\a.lzh"
find_run "find:name=*.txt;find:dir=$W\\sub;find:sub=0;find:types=gzip;find=search sort:4 sort:4"
got=$(hits | tail -2 | sed 's/.* | //' | tr '\n' ' ')
[ "$got" = "$W\\sub\\f.tgz $W\\sub\\e.tar.gz " ] || fail "gzip sorted descending by archive: $got"

# Choosing a hit lists its archive in the main window; an empty part of the
# list chooses nothing.
find_run "find:name=readme.*;find:dir=$W;find:sub=1;find:types=lha,zip,tar;find=search pick:2" "caption list"
grep -qxF "find: picked $W\\sub\\deep\\d.tar" "$TRACE" || fail "pick: $(cat "$TRACE")"
grep -qxF "list: $W\\sub\\deep\\d.tar" "$TRACE" || fail "not listed: $(cat "$TRACE")"
grep -qF 'd.tar' <<<"$AFTER" && grep -q 'docs | ' <<<"$AFTER" || fail "main window: $AFTER"
find_run "find:name=readme.*;find:dir=$W;find:sub=1;find:types=lha,zip,tar;find=search pick:- close"
grep -qx 'find: nothing picked' "$TRACE" || fail "empty pick: $(cat "$TRACE")"
grep -q '^list: ' "$TRACE" && fail "listed without a pick"

# Escape after the first archive stops the walk with what was found so far.
find_run "find:name=readme.*;find:dir=$W;find:sub=1;find:types=lha,zip,tar;find:cancel=1;find=search"
grep -qx 'find: cancelled' "$TRACE" || fail "not cancelled: $(cat "$TRACE")"
same_rows "cancelled" "$(row a.lzh)"

# Missing conditions: the error box, no search.
find_run "find:name=;find:dir=$W;find:types=lha;find=search"
grep -qF "findcond: $(sj '検索条件を設定してください。')" "$TRACE" || fail "no condition box: $(cat "$TRACE")"
grep -q '^find: 0 hits' "$TRACE" || fail "searched without a name"

# Shown for real: the dialog with its result columns, wholly on the screen,
# and closed (it stays made, hidden).
: >"$TRACE"
(unset TOVIX_ANSWERS; TOVIX_TRACE=$(winpath "$TRACE") winrun "$BIN/tovix.exe" >/dev/null 2>&1) &
TOVIX_PID=$!
probe wait TVantrelbyHalvek 60000 command "検索(F)..." >/dev/null || fail "find command (shown)"
shown=$(probe wait TFindDlg 10000 caption rect columns close) || fail "no dialog: $shown"
expect_line "$shown" "caption: 書庫内ファイル検索" "shown"
expect_line "$shown" "column[3]: 書庫名 195 left" "shown"
closed() { [ "$(probe find TFindDlg)" = none ] || fail "the dialog is still shown"; }
eventually 30 closed
read -r l t _ <<<"$(grep '^rect: ' <<<"$shown" | sed 's/^rect: //')"
[ "$l" -ge 0 ] && [ "$t" -ge 0 ] || fail "dialog off the screen: $shown"
stop_tovix

# A second instance is started through the shell with the program's path.
: >"$TRACE"
TOVIX_TRACE=$(winpath "$TRACE") winrun "$BIN/tovix.exe" >/dev/null 2>&1 &
TOVIX_PID=$!
probe wait TVantrelbyHalvek 60000 command "新規起動(Z)" >/dev/null
stop_tovix
grep -qixF "shell: - $(winpath "$BIN/tovix.exe")" "$TRACE" || fail "new instance: $(cat "$TRACE")"
echo ok
