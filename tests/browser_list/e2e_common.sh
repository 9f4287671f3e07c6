# Shared by the listing and extraction shell tests: a Wine prefix of the
# test's own and the probe (tests/tools/own_program.sh), headless answers,
# and the program started with a trace file.
source "$TOOLS/own_program.sh"
export TOVIX_ANSWERS="${TOVIX_ANSWERS:-none=1}"
# start_tovix EXE TRACE ARGS...: runs the program and waits for its window
# and, given an archive, for its listing (the caption names the archive).
# TRACE is for the modules that still write trace lines.
start_tovix() {
  local exe=$1 trace=$2; shift 2
  : >"$trace"
  TOVIX_TRACE=$(winpath "$trace") winrun "$exe" "$@" >/dev/null 2>&1 &
  TOVIX_PID=$!
  probe wait TVantrelbyHalvek 60000 >/dev/null || fail "no main window for $*"
  [ $# -gt 0 ] || return 0
  for _ in $(seq 100); do
    [ "$(probe wait TVantrelbyHalvek caption)" != "caption: Tovix" ] && break
    sleep 0.1
  done
}
