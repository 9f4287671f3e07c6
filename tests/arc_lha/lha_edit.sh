#!/bin/bash
# Changing archives through unlha32.dll: delete, rename (the new name typed
# into its dialog), update, overwrite questions and the time check, print,
# self-extractor make and undo; a failed change leaves the archive as it was.
source "$TOOLS/archiver_test.sh"
export LC_ALL=ja_JP.UTF-8
drv() { arcdrv unlha32.dll Unlha "$@" 2>/dev/null | tr -d '\r'; }
names() { drv list "$(winpath "$1")" | cut -f1 | iconv -f CP932 -t UTF-8 | sort | tr '\n' ' '; }

mkdir -p src/dir/sub src/keep
echo alpha > src/a.txt; echo beta > src/dir/b.txt; echo gamma > src/dir/sub/c.txt; echo delta > src/keep/d.txt
echo so > "src/ソ.txt"
pack() { drv cmd "a -r2 -x1 \"$(W "$1")\" \"$(W src)\\\" a.txt dir keep ソ.txt"; }
pack base.lzh >/dev/null
[ "$(names base.lzh)" = 'a.txt dir dir\b.txt dir\sub dir\sub\c.txt keep keep\d.txt ソ.txt ' ] || fail "packed: $(names base.lzh)"

# Delete: a folder row by its stored path, a file by its name anywhere.
cp base.lzh del.lzh
log=$(drv cmd "d -p \"$(W del.lzh)\" \"dir\\*.*\"")
[ "$(rc_of "$log")" = 0 ] || fail "delete folder: $log"
[ "$(names del.lzh)" = 'a.txt keep keep\d.txt ソ.txt ' ] || fail "after deleting dir: $(names del.lzh)"
log=$(drv cmd "d -r1 \"$(W del.lzh)\" \"d.txt\"")
[ "$(names del.lzh)" = 'a.txt keep ソ.txt ' ] || fail "after deleting d.txt: $(names del.lzh) $log"
lha t del.lzh >/dev/null 2>&1 || fail "lhasa rejects the archive after deleting"
log=$(drv cmd "d -p \"$(W del.lzh)\" \"missing.txt\"")
[ "$(rc_of "$log")" != 0 ] || fail "deleting nothing answered 0"

# Rename: a file, a folder with what is below it, and a clash.
cp base.lzh ren.lzh
rename() { beside dialog 名前の変更 controls type 0 "$1" click OK -- drv cmd "$2"; }
log=$(rename first.txt "n -p \"$(W ren.lzh)\" \"a.txt\"")
[ "$(rc_of "$log")" = 0 ] || fail "rename: $log"
asked "a.txt の新しい名前:" "the rename dialog's label"
asked "Edit id=100 [focus] a.txt" "the rename dialog's proposal"
log=$(rename ソ2 "n -p \"$(W ren.lzh)\" \"dir\\*.*\"")
[ "$(names ren.lzh)" = 'first.txt keep keep\d.txt ソ.txt ソ2 ソ2\b.txt ソ2\sub ソ2\sub\c.txt ' ] || fail "renamed: $(names ren.lzh) $log"
log=$(rename first.txt "n -p \"$(W ren.lzh)\" \"ソ.txt\"")
[ "$(rc_of "$log")" != 0 ] && grep -q exists <<<"$log" || fail "rename onto an existing name: $log"
log=$(rename ../up.txt "n -p \"$(W ren.lzh)\" \"first.txt\"")
[ "$(rc_of "$log")" != 0 ] || fail "rename to a climbing name answered 0"
rm -rf rx; mkdir rx; (cd rx && jlha x ../ren.lzh >/dev/null 2>&1)
[ "$(cat rx/ソ2/sub/c.txt)" = gamma ] && [ "$(cat rx/first.txt)" = alpha ] || fail "jlha reads the renamed archive wrongly"

# Update: only a newer file replaces its entry; a changes always.
cp base.lzh upd.lzh
touch -d '2000-01-01' src/dir/b.txt; echo BETA > src/keep/d.txt; touch -d '2030-01-01' src/keep/d.txt
log=$(drv cmd "u -r2 -x1 \"$(W upd.lzh)\" \"$(W src)\\\" dir\\b.txt keep\\d.txt")
grep -q '^Frozen keep\\d.txt' <<<"$log" && ! grep -q '^Frozen dir\\b.txt' <<<"$log" || fail "update: $log"
rm -rf ux; mkdir ux
drv cmd "x -c1 -y \"$(W upd.lzh)\" \"$(W ux)\\\"" >/dev/null
[ "$(cat ux/keep/d.txt)" = BETA ] && [ "$(cat ux/dir/b.txt)" = beta ] || fail "update kept the wrong files"

# Overwrite questions and the time check.
echo local > ux/a.txt; touch -d '2001-01-01' ux/a.txt
log=$(beside answer "いいえ(N)" -- drv cmd "e -c1 \"$(W upd.lzh)\" \"$(W ux)\\\" a.txt")
[ "$(cat ux/a.txt)" = local ] && grep -q '^Skipped : a.txt' <<<"$log" || fail "answer no: $log"
asked "msgbox: unlha32" "the overwrite question"
log=$(beside answer "はい(Y)" -- drv cmd "e -c1 \"$(W upd.lzh)\" \"$(W ux)\\\" a.txt")
[ "$(cat ux/a.txt)" = alpha ] || fail "answer yes: $log"
echo newer > ux/a.txt; touch -d '2035-01-01' ux/a.txt
log=$(drv cmd "e -c0 \"$(W upd.lzh)\" \"$(W ux)\\\" a.txt")
[ "$(cat ux/a.txt)" = newer ] && grep -q 'not newer' <<<"$log" || fail "time check: $log"
# A read-only file restored with -a1 can be replaced by the next extraction.
mkdir -p ro; echo locked > ro/locked.txt; chmod a-w ro/locked.txt
drv cmd "a \"$(W ro.lzh)\" \"$(W ro)\\\" locked.txt" >/dev/null
mkdir -p rox
for i in 1 2; do
  log=$(drv cmd "e -c1 -y -a1 \"$(W ro.lzh)\" \"$(W rox)\\\"")
  [ "$(rc_of "$log")" = 0 ] || fail "extraction $i over a read-only file: $log"
done
[ "$(stat -c %A rox/locked.txt | cut -c3)" = - ] || fail "the read-only attribute was not restored"
# e drops the folders.
rm -rf ex; mkdir ex
drv cmd "e -c1 -y \"$(W base.lzh)\" \"$(W ex)\\\" \"dir/*.*\"" >/dev/null
[ "$(ls ex | tr '\n' ' ')" = "b.txt c.txt " ] || fail "e kept folders: $(ls -R ex)"

# Print an entry into the buffer; add a file under a stored path (-jr1).
log=$(drv cmd "p -n \"$(W base.lzh)\" \"dir/sub/c.txt\"")
[ "$log" = $'rc=0\ngamma' ] || fail "print: $log"
mkdir -p tmpdir; echo edited > tmpdir/c.txt
drv cmd "u -jr1 -n \"$(W upd.lzh)\" \"$(W tmpdir)\\\" \"dir/sub/c.txt\"" >/dev/null
[ "$(drv cmd "p \"$(W upd.lzh)\" \"dir/sub/c.txt\"" | tail -1)" = edited ] || fail "-jr1 put the file elsewhere: $(names upd.lzh)"

# A failed change keeps the old file: packing into something that is no archive.
echo "not an archive" > notarc.lzh
log=$(drv cmd "a -r2 -x1 \"$(W notarc.lzh)\" \"$(W src)\\\" a.txt")
[ "$(rc_of "$log")" != 0 ] && [ "$(cat notarc.lzh)" = "not an archive" ] || fail "packing into a non-archive: $log"

# Self-extractor: make, check, run headless, undo.
mkdir -p made
log=$(drv cmd "s -gw -m1 -x1 \"$(W base.lzh)\" \"$(W made)\\\" *.*")
[ "$(rc_of "$log")" = 0 ] && [ -f made/base.exe ] || fail "make sfx: $log"
[ "$(drv check "$(W made/base.exe)")" = 1 ] || fail "CheckArchive refused our self-extractor"
[ "$(names made/base.exe)" = "$(names base.lzh)" ] || fail "the self-extractor lists differently"
rm -rf sx; winrun made/base.exe "/D=$(W sx)" || fail "the self-extractor failed"
diff -r src/dir sx/dir >/dev/null && [ "$(cat sx/a.txt)" = alpha ] || fail "the self-extractor extracted wrongly: $(ls -R sx)"
log=$(drv cmd "j \"$(W back.lzh)\" \"$(W made/base.exe)\"")
[ "$(rc_of "$log")" = 0 ] || fail "undo sfx: $log"
lha t back.lzh >/dev/null 2>&1 || fail "lhasa rejects the archive taken out of the program"
[ "$(names back.lzh)" = "$(names base.lzh)" ] || fail "undo changed the entries"
# Second kind, without folders: the "$" setting file stays inside.
printf '$InstallDir=%%TEMP%%\\x\r\n' > 'src/$'
drv cmd "a \"$(W base.lzh)\" \"$(W src)\\\" \$" >/dev/null
drv cmd "s -gw3 -m1 \"$(W base.lzh)\" \"$(W made)\\\" *.*" >/dev/null
rm -rf sx2; winrun made/base.exe "/D=$(W sx2)" || fail "the second kind failed"
[ ! -e 'sx2/$' ] && [ -f sx2/c.txt ] || fail "second kind: $(ls -A sx2)"
# A folder too deep for the file system's name limit is told, never left out silently.
deep=long/$(printf 'd%.0s' {1..60})/$(printf 'e%.0s' {1..60})/$(printf 'f%.0s' {1..60})/$(printf 'g%.0s' {1..60})
mkdir -p "$deep/$(printf 'h%.0s' {1..60})"; echo near > long/near.txt; echo far > "$deep/$(printf 'h%.0s' {1..60})/far.txt"
rm -f long.lzh
log=$(drv cmd "a -r2 -x1 \"$(W long.lzh)\" \"$(W long)\\\" *.*")
[ "$(rc_of "$log")" != 0 ] && grep -q 'path too long' <<<"$log" || fail "a folder over the name limit was left out silently: $log"
echo "editing: delete, rename, update, overwrite, print, self-extractors, long paths"
