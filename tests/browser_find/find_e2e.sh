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
# The find dialog, driven through its controls as a person would.
# find_open: starts the program on no archive and opens the find dialog.
find_open() {
  winrun "$BIN/tovix.exe" >/dev/null 2>&1 &
  TOVIX_PID=$!
  probe wait TVantrelbyHalvek 60000 command "検索(F)..." dialog TFindDlg 10000 >/dev/null || fail "find command"
}
# find_fill NAME FOLDER SUB TYPES: the conditions typed and ticked (TYPES:
# the captions of the type boxes to tick, comma-separated).
find_fill() {
  local args=(type 0 "$1" type 1 "$2" tick "サブフォルダも探す(S)" "$3") t
  for t in Lha Arj Zip Tar GZip Cab BZip Rar Bga; do
    if [[ ",$4," == *",$t,"* ]]; then args+=(tick "$t" 1); else args+=(tick "$t" 0); fi
  done
  probe wait TVantrelbyHalvek dialog TFindDlg "${args[@]}" >/dev/null || fail "conditions $*"
}
dlg() { probe wait TVantrelbyHalvek dialog TFindDlg "$@"; }
# found: the walk has ended (its rows come all at once at its end, and every
# search here finds something); $HITS holds the dialog's rows.
found() { HITS=$(dlg list) && grep -q ' | ' <<<"$HITS"; }
# find_hidden: the dialog is no longer shown (it stays made, hidden).
find_hidden() { [ "$(probe find TFindDlg)" = none ]; }
# find_run NAME FOLDER SUB TYPES: a search in a new instance; $HITS holds the
# dialog's rows (the program goes on running: find_close ends it).
find_run() {
  find_open
  find_fill "$@"
  dlg click "検索開始(I)" >/dev/null || fail "search $*"
  wait_until 30 "rows for the search $*" found
}
find_close() { dlg click "終了(P)" >/dev/null 2>&1 || true; stop_tovix; }
hits() { sed 's/^\* //' <<<"$HITS"; }
row() { printf 'readme.txt | 3,893 | %s | %s' "$DATE" "$W\\$1"; }
DATE='2004/03/05 14:07'
same_rows() {  # what, expected rows
  local got
  got=$(hits)
  [ "$got" = "$2" ] || fail "$1: rows
$got
expected
$2"
}
# The whole tree for three types: one row per archive that holds a match (in
# any folder of the archive, shown by its file name), in
# walk order (this folder's patterns, then the subfolders); the damaged and
# the fake archives and the plain file give nothing.
find_run 'readme.*' "$W\\" 1 Lha,Zip,Tar
find_close
same_rows "tree" "$(row a.lzh)
$(row 'sub\c.zip')
$(row 'sub\deep\d.tar')"
# Without subfolders only the top folder; GZip finds .gz and .tgz, and sorting
# by size then archive (descending on the second click).
find_run '*.txt' "$W" 0 Lha
find_close
same_rows "top" "$(row a.lzh)
other.txt | 7 | $DATE | $W\\a.lzh"
find_run '*.txt' "$W\\sub" 0 GZip
winrun "$BIN/lvclick.exe" TFindDlg col:3 >/dev/null
winrun "$BIN/lvclick.exe" TFindDlg col:3 >/dev/null
HITS=$(dlg list)
find_close
got=$(hits | tail -2 | sed 's/.* | //' | tr '\n' ' ')
[ "$got" = "$W\\sub\\f.tgz $W\\sub\\e.tar.gz " ] || fail "gzip sorted descending by archive: $got"

# Choosing a hit (a double click on its row) lists its archive in the main
# window; a double click on an empty part of the list chooses nothing.
find_run 'readme.*' "$W" 1 Lha,Zip,Tar
winrun "$BIN/lvclick.exe" TFindDlg dbl:2 >/dev/null
wait_until 10 "the dialog hidden after the pick" find_hidden
# picked_listed: the main window lists the picked archive ($AFTER: what it shows).
picked_listed() {
  AFTER=$(probe wait TVantrelbyHalvek caption list) && grep -qxF "caption: d.tar ($W\\sub\\deep) - Tovix" <<<"$AFTER" &&
    grep -q '^docs | ' <<<"$AFTER"
}
poll 10 picked_listed || true
expect_line "$AFTER" "caption: d.tar ($W\\sub\\deep) - Tovix" "picked archive"
grep -q '^docs | ' <<<"$AFTER" || fail "main window: $AFTER"
find_close
find_run 'readme.*' "$W" 1 Lha,Zip,Tar
winrun "$BIN/lvclick.exe" TFindDlg dbl:- >/dev/null
# A pause: time for a close that must not come.
out=$(dlg sleep 500 caption) || fail "the dialog closed on an empty pick"
AFTER=$(probe wait TVantrelbyHalvek caption)
find_close
expect_line "$AFTER" "caption: Tovix" "listed without a pick"

# Escape while the walk runs stops it with what was found so far: a folder
# of many archives, Escape pressed once the walk is under way (the folder
# goes into the folder box's history as it starts).
mkdir -p "$SCRATCH/many"
for i in $(seq -w 1 3000); do echo "many/a$i.lzh"; done | (cd "$SCRATCH" && xargs -n 500 sh -c 'for f; do cp tree/a.lzh "$f"; done' _)
M=$(winpath "$SCRATCH/many")
find_open
find_fill 'readme.*' "$M" 0 Lha
under_way() { dlg controls | grep -qxF -e "  $M" -e "  * $M"; }
dlg click "検索開始(I)" >/dev/null || fail "cancelled search"
wait_until 20 "the search under way" under_way
dlg post-key 27 >/dev/null || fail "Escape during the search"
wait_until 30 "rows of the cancelled search" found
find_close
n=$(hits | grep -c ' | ' || true)
[ "$n" -gt 0 ] && [ "$n" -lt 3000 ] || fail "cancelled: $n of 3000 rows"

# Missing conditions: the error box, no search.
find_open
find_fill '' "$W" 0 Lha
out=$(dlg click "検索開始(I)" answer OK 10000 wait TVantrelbyHalvek dialog TFindDlg list) || fail "no condition box: $out"
find_close
expect_line "$out" "msgbox: 書庫内ファイル検索 | 検索条件を設定してください。" "condition box"
grep -v '^msgbox:' <<<"$out" | grep -q ' | ' && fail "searched without a name: $out"

# Shown for real: the dialog with its result columns, wholly on the screen,
# and closed (it stays made, hidden).
winrun "$BIN/tovix.exe" >/dev/null 2>&1 &
TOVIX_PID=$!
probe wait TVantrelbyHalvek 60000 command "検索(F)..." >/dev/null || fail "find command (shown)"
shown=$(probe wait TFindDlg 10000 caption rect columns close) || fail "no dialog: $shown"
expect_line "$shown" "caption: 書庫内ファイル検索" "shown"
expect_line "$shown" "column[3]: 書庫名 195 left" "shown"
wait_until 30 "the shown dialog closed" find_hidden
read -r l t _ <<<"$(grep '^rect: ' <<<"$shown" | sed 's/^rect: //')"
[ "$l" -ge 0 ] && [ "$t" -ge 0 ] || fail "dialog off the screen: $shown"
stop_tovix

# A second instance is started with the program's path: a second window.
winrun "$BIN/tovix.exe" >/dev/null 2>&1 &
TOVIX_PID=$!
probe wait TVantrelbyHalvek 60000 command "新規起動(Z)" >/dev/null
windows() { winrun "$BIN/bcastctl.exe" windows TVantrelbyHalvek | tr -d '\r' | grep -c . || true; }
second_window() { [ "$(windows)" -ge 2 ]; }
poll 20 second_window || true
n=$(windows)
[ "$n" = 2 ] || fail "new instance: $n main windows"
for h in $(winrun "$BIN/bcastctl.exe" windows TVantrelbyHalvek | tr -d '\r'); do
  probe target "$h" close >/dev/null 2>&1 || true
done
stop_tovix
echo ok
