#!/usr/bin/env bash
# The send extension end to end: the selection goes onto the clipboard as
# "Tovix FileList" beside what is there, and the program named by the
# uninstall record (a stand-in here) starts with "/C" in the first path's
# folder and finds the list.
source "$TOOLS/lib.sh"
cd "$SCRATCH"
SEND='{34869A80-2706-11D3-9EE0-89A6F700B519}'
UNINSTALL='SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Halvek_Tovix'
drv() { timeout 60 $WINE_RUN "$BIN/shxdrv.exe" "$@" | tr -d '\r' | iconv -f CP932 -t UTF-8; }
# send FILE...: the command with text on the clipboard; waits for the
# stand-in unless NOWAIT is set.
send() {
  rm -f started.txt
  SHX_CLIPTEXT="keep me" SHX_OUT="$(winpath started.txt)" SHX_WAIT="$([[ -n ${NOWAIT:-} ]] || winpath started.txt)" \
    drv invoke "$(winpath "$BIN/tovix.dll")" "$SEND" "$@"
}
cleanup() { winrun reg delete "HKLM\\$UNINSTALL" /f >/dev/null 2>&1 || true; }
trap cleanup EXIT

fake=$(winpath "$BIN/shellext-fake")
winrun reg add "HKLM\\$UNINSTALL" /v InstallLocation /d "$fake" /f >/dev/null 2>&1

mkdir -p a/y
echo x > a/x.txt; echo z > a/z.lzh
x=$(winpath a/x.txt) y=$(winpath a/y) z=$(winpath a/z.lzh)
out=$(send "$x" "$y" "$z")
expect_line "$out" "invoke 00000000" "three items"
expect_line "$out" "clip list $x\\r\\n$y\\r\\n$z\\r\\n\\0" "list on the clipboard"
expect_line "$out" "clip text keep me" "text beside the list"
[[ -f started.txt ]] || fail "the program was not started"
started=$(tr -d '\r' < started.txt | iconv -f CP932 -t UTF-8)
grep -qE "^cmdline \"?${fake//\\/\\\\}\\\\tovix.exe\"? /C\$" <<<"$started" || fail "command line: $started"
expect_line "$started" "cwd $(winpath a)" "working folder"
expect_line "$started" "$x\\r\\n$y\\r\\n$z\\r\\n" "list the program reads"

# A path on a drive root: the working folder keeps its backslash.
out=$(send 'C:\file.lzh')
expect_line "$out" 'clip list C:\file.lzh\r\n\0' "root item"
expect_line "$(tr -d '\r' < started.txt)" 'cwd C:\' "root working folder"

# A name longer than MAX_PATH arrives whole.
long="$(winpath a)\\$(printf 'n%.0s' {1..300}).txt"
out=$(send "$x" "$long")
expect_line "$out" "clip list $x\\r\\n$long\\r\\n\\0" "long name"

# No installation recorded: the list is still handed over, nothing starts
# and the record is not created by asking for it.
cleanup
out=$(NOWAIT=1 send "$x")
# A pause: time for a start that must not come.
sleep 1
expect_line "$out" "clip list $x\\r\\n\\0" "no record"
[[ ! -f started.txt ]] || fail "started without an installation: $(cat started.txt)"
expect_line "$(drv key HKLM "$UNINSTALL")" "(missing)" "uninstall record created by reading it"
echo ok
