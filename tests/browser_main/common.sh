# Shared by the main-window shell tests: a settings key of the test's own,
# headless answers, and the probe.
source "$TOOLS/lib.sh"
export TOVIX_SETTINGS_KEY="software\\halvek\\TovixTest_$(basename "$SCRATCH")"
export TOVIX_ANSWERS="${TOVIX_ANSWERS:-none=1}"
probe() { winrun "$BIN/uiprobe.exe" "$@"; }
regset() { winrun reg add "HKCU\\$TOVIX_SETTINGS_KEY\\$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }
regget() {  # section value -> the stored string (empty when missing)
  winrun reg query "HKCU\\$TOVIX_SETTINGS_KEY\\$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v v="$2" '$1 == v { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}
regclear() { winrun reg delete "HKCU\\$TOVIX_SETTINGS_KEY" /f >/dev/null 2>&1 || true; }
# Starts tovix in the background with the given trace file and arguments.
start_tovix() {
  local trace=$1; shift
  TOVIX_TRACE=$(winpath "$trace") winrun "$BIN/tovix.exe" "$@" >/dev/null 2>&1 &
}
expect_line() {  # text pattern what
  grep -qF -- "$2" <<<"$1" || fail "$3: missing '$2' in:
$1"
}
