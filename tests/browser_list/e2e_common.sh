# Shared by the listing and extraction shell tests: a Wine prefix of the
# test's own (so no other test's window answers the probe and the program's
# settings are the test's own), headless answers, and helpers around the probe.
source "$TOOLS/lib.sh"
own_prefix "$SCRATCH/prefix"
SETTINGS_KEY='software\halvek\Tovix'
export TOVIX_ANSWERS="${TOVIX_ANSWERS:-none=1}"
trap 'stop_tovix; wineserver -k 2>/dev/null || true' EXIT
probe() { winrun "$BIN/uiprobe.exe" "$@" | tr -d '\r'; }
TOVIX_PID=""
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
stop_tovix() {
  [ -n "$TOVIX_PID" ] || return 0
  probe find TVantrelbyHalvek close wait-exit 20000 >/dev/null 2>&1 || true
  wait "$TOVIX_PID" 2>/dev/null || true
  TOVIX_PID=""
}
expect_line() {  # text line what
  grep -qxF -- "$2" <<<"$1" || fail "$3: missing line '$2' in:
$1"
}
# dosdate: 2004-03-05 14:07:58 in the entry files' hexadecimal form.
DOS=306570FD
