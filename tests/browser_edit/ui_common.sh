# Shared by the properties and drag-and-drop shell tests: a Wine prefix of
# the test's own and the probe (tests/tools/own_program.sh), the program
# started, and helpers that read and answer its real windows through uiprobe.
source "$TOOLS/own_program.sh"
source "$TOOLS/picker.sh"
sj() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
# start_tovix EXE ARGS...: runs the program and waits for its window and,
# when it was given an archive, for the archive's listing.
start_tovix() {
  local exe=$1; shift
  winrun "$exe" "$@" >/dev/null 2>&1 &
  TOVIX_PID=$!
  probe wait TVantrelbyHalvek 60000 >/dev/null || fail "no main window for $*"
  [ $# -gt 0 ] && wait_listed
  return 0
}
# wait_listed: until the status bar reports the archive's entries (an
# archive that cannot be listed shows none: the checks after it tell).
wait_listed() { poll 15 listed || true; }
listed() {
  [ -n "$(probe find TVantrelbyHalvek tree)" ] && grep -q '^status\[0\]: .' <<<"$(probe find TVantrelbyHalvek status)"
}
# folder_ok PATH: the folder picker, once it shows its proposal, the folder
# PATH (tests/tools/picker.sh: another folder fails the test), answered with
# OK; prints its controls as they were.
folder_ok() {
  picker_shows "$1"
  probe wait TVantrelbyHalvek dialog "$PICKER" 1000 controls
  picker_ok
}
# save_as PATH: the save dialog, once its name field has the focus (it
# takes it after coming up), answered with PATH typed there; pressed once
# the field shows it.
save_as() {
  wait_until 20 "the save dialog's name field with the focus" _save_focused
  probe wait TVantrelbyHalvek dialog "#32770" 1000 keys "$1" >/dev/null
  wait_until 10 "the save dialog's name field showing $1" _save_shows "$1"
  probe wait TVantrelbyHalvek dialog "#32770" 1000 click "保存(S)"
}
_save_controls() { probe wait TVantrelbyHalvek dialog "#32770" 500 controls 2>/dev/null; }
_save_focused() { grep -q '^Edit id=1148 \[focus\]' <<<"$(_save_controls)"; }
_save_shows() { grep -qxF -- "Edit id=1148 [focus] $1" <<<"$(_save_controls)"; }
# folder_to PATH [PROBE-ARGS...]: the folder picker, once it shows a
# proposal of its own, led to PATH in its tree (again while a late
# preselection takes it elsewhere), worked with PROBE-ARGS (boxes ticked to a
# given state: `tick フォルダ作成 0`) and answered with OK, pressed until it
# is gone.
folder_to() {
  local path=$1
  shift
  wait_until 60 "the folder picker's proposal" _picker_proposes
  picker_lead "$path"
  picker_ok "$@"
}
_picker_proposes() { [[ $(picker_selection) == [A-Za-z]:* ]]; }
