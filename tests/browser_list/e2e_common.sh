# Shared by the listing, find and preview shell tests: a Wine prefix of the
# test's own and the probe (tests/tools/own_program.sh), and the program
# started.
source "$TOOLS/own_program.sh"
# start_tovix EXE ARGS...: runs the program and waits for its window and,
# given an archive, for its listing (the caption names the archive).
start_tovix() {
  local exe=$1; shift
  winrun "$exe" "$@" >/dev/null 2>&1 &
  TOVIX_PID=$!
  probe wait TVantrelbyHalvek 60000 >/dev/null || fail "no main window for $*"
  [ $# -gt 0 ] || return 0
  # Going on all the same when it never does: an archive that lists nothing
  # leaves the bare caption, and the test checks what the window shows.
  poll 10 archive_in_caption || true
}
archive_in_caption() { [ "$(probe wait TVantrelbyHalvek caption)" != "caption: Tovix" ]; }
