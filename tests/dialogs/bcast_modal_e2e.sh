#!/usr/bin/env bash
# An extraction-folder broadcast from another instance, posted while the
# about box and while the options dialog is open, still arrives: the program
# takes the folder (and keeps it in its settings at exit).
source "$TOOLS/lib.sh"
export TOVIX_PREFIX="$SCRATCH/prefix" WINEPREFIX="$SCRATCH/prefix"
winrun cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
wineserver -p 2>/dev/null || true
trap 'probe find TVantrelbyHalvek close wait-exit 20000 >/dev/null 2>&1 || true; wineserver -k 2>/dev/null || true' EXIT
ctl() { winrun "$BIN/bcastctl.exe" "$@" | tr -d '\r'; }
exdir() {
  winrun reg query 'HKCU\software\halvek\Tovix\UnPack' /v ExDir 2>/dev/null | tr -d '\r' |
    awk '$1 == "ExDir" { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}

# while WHAT FOLDER OPEN... -- CLOSE...: opens the modal window, posts the
# broadcast while it is shown, closes it through its controls, ends the
# program and reads the folder it kept.
while_open() {
  local what=$1 folder=$2 open=() close=()
  shift 2
  while [ "$1" != -- ]; do open+=("$1"); shift; done
  shift
  close=("$@")
  winrun "$BIN/tovix.exe" >/dev/null 2>&1 &
  probe wait TVantrelbyHalvek 30000 "${open[@]}" >/dev/null || fail "$what: not opened"
  ctl put "Tovix Extract Dir" "$folder" post wm_tovix_changeExDir 0 >/dev/null || fail "$what: not posted"
  # Still open while the broadcast is taken.
  probe sleep 500 wait TVantrelbyHalvek "${close[@]}" >/dev/null || fail "$what: not closed"
  probe wait TVantrelbyHalvek close wait-exit 20000 >/dev/null || fail "$what: the program did not end"
  [ "$(exdir)" = "$folder" ] || fail "$what: the broadcast folder did not arrive (kept: '$(exdir)')"
}

while_open "about box" 'C:\from-about' command "バージョン情報(A)..." dialog TAboutBox -- dialog TAboutBox vk enter
while_open "options dialog" 'C:\from-options' command "オプション(O)..." dialog TOptionDlg -- dialog TOptionDlg click キャンセル
