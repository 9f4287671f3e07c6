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
# wait_listed: until the status bar reports the archive's entries.
wait_listed() {
  for _ in $(seq 150); do
    probe find TVantrelbyHalvek tree | grep -q . && probe find TVantrelbyHalvek status | grep -q '^status\[0\]: .' && break
    sleep 0.1
  done
}
# folder_ok NAME [PATH]: the folder picker, once it shows the proposed folder
# NAME selected (it selects it after coming up), answered with OK. With PATH,
# a picker that never gets there (Wine stops a preselection partway on a
# loaded machine) is led to PATH in its tree first.
folder_ok() {
  local shown=""
  for _ in $(seq 200); do
    probe wait TVantrelbyHalvek dialog "フォルダーの参照" 500 controls 2>/dev/null | grep -q "^Edit id=[0-9]* .*[] ]$1\$" &&
      shown=1 && break
    sleep 0.1
  done
  if [ -z "$shown" ] && [ $# -gt 1 ]; then
    probe wait TVantrelbyHalvek dialog "フォルダーの参照" 1000 choose-folder "$(winpath "$2")" >/dev/null
  fi
  probe wait TVantrelbyHalvek dialog "フォルダーの参照" 1000 controls click OK
}
# save_as PATH: the save dialog, once its name field has the focus (it
# takes it after coming up), answered with PATH typed there; pressed once
# the field shows it.
save_as() {
  for _ in $(seq 200); do
    probe wait TVantrelbyHalvek dialog "#32770" 500 controls 2>/dev/null | grep -q '^Edit id=1148 \[focus\]' && break
    sleep 0.1
  done
  probe wait TVantrelbyHalvek dialog "#32770" 1000 keys "$1" >/dev/null
  for _ in $(seq 100); do
    probe wait TVantrelbyHalvek dialog "#32770" 500 controls 2>/dev/null | grep -qxF "Edit id=1148 [focus] $1" && break
    sleep 0.1
  done
  probe wait TVantrelbyHalvek dialog "#32770" 1000 click "保存(S)"
}
# folder_to PATH [PROBE-ARGS...]: the folder picker, once it shows its
# proposal, led to PATH in its tree (again while a late preselection of its
# own takes it elsewhere), worked with PROBE-ARGS (boxes ticked to a given
# state: `tick フォルダ作成 0`) and answered with OK, pressed until it is gone.
folder_to() {
  local path=$1 name there="" c
  shift
  name=$(basename "$path")
  for _ in $(seq 200); do
    c=$(probe wait TVantrelbyHalvek dialog "フォルダーの参照" 500 controls 2>/dev/null) || true
    grep -q '^Edit id=[0-9]* .*[] ].' <<<"$c" && break
    sleep 0.1
  done
  for _ in $(seq 20); do
    c=$(probe wait TVantrelbyHalvek dialog "フォルダーの参照" 1000 choose-folder "$(winpath "$path")" sleep 300 controls 2>/dev/null) ||
      true
    sed -n 's/^Edit id=[0-9]* \(\[[a-z]*\] \)*//p' <<<"$c" | grep -qxF -- "$name" && there=1 && break
  done
  [ -n "$there" ] || return 1
  probe wait TVantrelbyHalvek dialog "フォルダーの参照" 1000 "$@" click OK >/dev/null || return 1
  for _ in $(seq 10); do
    for _ in $(seq 20); do
      probe wait TVantrelbyHalvek dialog "フォルダーの参照" 100 >/dev/null 2>&1 || return 0
      sleep 0.1
    done
    probe wait TVantrelbyHalvek dialog "フォルダーの参照" 1000 "$@" click OK >/dev/null 2>&1 || return 0
  done
  return 1
}
