# Sourced after lib.sh by the tests that answer the program's folder picker
# (the shell's, over the main window TVantrelbyHalvek). It proposes a folder
# a moment after it comes up (later still on a loaded machine, so every step
# waits for what it looks for, and fails the test when that does not come).
# Provides:
#   picker_at PATH         succeeds when the picker's tree has the folder
#                          PATH (Linux path) selected
#   picker_shows PROPOSED  waits until the picker shows its proposal: the
#                          folder PROPOSED selected; any other folder, or
#                          none, within 60 s fails the test
#   picker_lead PATH       leads the picker to PATH in its tree, again while
#                          a late selection of its own takes it elsewhere
#   picker_ok [PROBE-ARGS...]  takes the probe steps in the picker (`tick
#                          フォルダ作成 0`), then presses OK until it is gone
PICKER=フォルダーの参照
# The selected node of the picker's tree as X:\a\b, from uiprobe's tree lines
# (two spaces a level, " *" after the selected node; a drive's node ends in
# "(X:)").
picker_selection() {
  probe wait TVantrelbyHalvek dialog "$PICKER" 1000 tree | awk '
    { match($0, /^ */); lvl = int(RLENGTH / 2); name = substr($0, RLENGTH + 1)
      sel = sub(/ \*$/, "", name); n[lvl] = name
      if (!sel || done) next
      done = 1
      for (k = lvl; k >= 0 && n[k] !~ /\([A-Za-z]:\)$/; k--) {}
      if (k < 0) { print "(no drive) " name; next }
      path = substr(n[k], length(n[k]) - 2, 2)
      for (j = k + 1; j <= lvl; j++) path = path "\\" n[j]
      if (k == lvl) path = path "\\"
      print path }'
}
picker_at() {
  local got want
  got=$(picker_selection) || return 1
  want=$(winpath "$1")
  [ "${got,,}" = "${want,,}" ]
}
picker_shows() {
  poll 60 picker_at "$1" ||
    fail "the folder picker proposes '$(picker_selection 2>&1)', not '$(winpath "$1")'"
}
_picker_led() {
  probe wait TVantrelbyHalvek dialog "$PICKER" 1000 choose-folder "$(winpath "$1")" >/dev/null 2>&1 && picker_at "$1"
}
picker_lead() { wait_until 30 "the folder picker led to $1" _picker_led "$1"; }
# Pressed again when a click is lost (a picker still setting itself up).
_picker_closed() {
  probe wait TVantrelbyHalvek dialog "$PICKER" 200 >/dev/null 2>&1 || return 0
  probe wait TVantrelbyHalvek dialog "$PICKER" 200 click OK gone >/dev/null 2>&1
}
picker_ok() {
  if [ $# -gt 0 ]; then
    probe wait TVantrelbyHalvek dialog "$PICKER" 1000 "$@" >/dev/null || fail "folder picker: $*"
  fi
  wait_until 60 "the folder picker closed with OK" _picker_closed
}
