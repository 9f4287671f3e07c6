# Sourced by shell tests (run through tovix_script_test). Provides:
#   $BIN       the Windows output folder (Linux path)
#   $SCRATCH   an empty scratch folder for this test (Linux path)
#   winrun PROGRAM ARGS...   runs a Windows program under Wine
#   winpath PATH             the Windows form of a Linux path (Z:\...)
#   arcdrv DLL PREFIX ...    the library driver (DLL is a name in $BIN or a path)
#   fail MESSAGE             prints and exits 1
set -euo pipefail
: "${BIN:?}" "${SCRATCH:?}" "${WINE_RUN:?}"
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
winrun() { $WINE_RUN "$@"; }
arcdrv() {
  local dll=$1; shift
  [[ $dll == */* ]] || dll="$BIN/$dll"
  $WINE_RUN "$BIN/arcdrv.exe" "$(winpath "$dll")" "$@"
}
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$SCRATCH"; mkdir -p "$SCRATCH"
