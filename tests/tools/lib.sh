# Sourced by shell tests (run through tovix_script_test). Provides:
#   $BIN       the Windows output folder (Linux path)
#   $SCRATCH   an empty scratch folder for this test (Linux path)
#   winrun PROGRAM ARGS...   runs a Windows program under Wine
#   winpath PATH             the Windows form of a Linux path (Z:\..., C:\...
#                            inside the test's own prefix)
#   arcdrv DLL PREFIX ...    the library driver (DLL is a name in $BIN or a path)
#   fail MESSAGE             prints and exits 1
#   own_prefix DIR           a Wine prefix of the test's own, with a server
#                            that lasts until the test stops it
#   eventually SECONDS CHECK ARGS...   runs CHECK (a command that fails or
#                            calls fail) until it holds, for a result another
#                            process is still producing; after SECONDS it
#                            runs it once more, to fail with its message
#   wait_until SECONDS WHAT CMD ARGS...   runs CMD (its output dropped) every
#                            0.1 s until it succeeds; when SECONDS pass first,
#                            the test fails: "WHAT: still not so after N s"
#   poll SECONDS CMD ARGS... the same wait for a state that may not come (the
#                            caller decides): answers 1 when time runs out
#   probe ARGS...            tests/tools/uiprobe, its lines without CR
#   expect_line TEXT LINE WHAT   fails unless TEXT has the whole line LINE
#   expect_text TEXT PART WHAT   fails unless TEXT holds PART somewhere
set -euo pipefail
: "${BIN:?}" "${SCRATCH:?}" "${WINE_RUN:?}"
# A path in the C: drive of the test's own prefix goes by that drive: the
# shell's folder picker walks there through folders of the test's own only
# (not the shared scratch folder, where other tests' folders come and go and
# cut its walk to a preselected folder short).
winpath() {
  local p c=""
  p=$(realpath -m "$1")
  [ -n "${WINEPREFIX:-}" ] && c=$(realpath -m "$WINEPREFIX/drive_c")
  if [ -n "$c" ] && [[ $p == "$c"/* ]]; then
    p=${p#"$c"}
    printf 'C:%s' "${p//\//\\}"
  else
    printf 'Z:%s' "${p//\//\\}"
  fi
}
winrun() { $WINE_RUN "$@"; }
arcdrv() {
  local dll=$1; shift
  [[ $dll == */* ]] || dll="$BIN/$dll"
  $WINE_RUN "$BIN/arcdrv.exe" "$(winpath "$dll")" "$@"
}
fail() { echo "FAIL: $*" >&2; exit 1; }
probe() { winrun "$BIN/uiprobe.exe" "$@" | tr -d '\r'; }
poll() {
  local end=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}
wait_until() {
  local secs=$1 what=$2; shift 2
  poll "$secs" "$@" || fail "$what: still not so after $secs s"
}
expect_line() {
  grep -qxF -- "$2" <<<"$1" || fail "$3: missing line '$2' in:
$1"
}
expect_text() {
  grep -qF -- "$2" <<<"$1" || fail "$3: missing '$2' in:
$1"
}
eventually() {
  local end=$((SECONDS + $1)); shift
  while [ $SECONDS -lt $end ]; do
    ("$@") >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  "$@"
}
# The server a Wine program starts itself ends with the last program in the
# prefix, and the clipboard and every window's state go with it; so the test
# starts one that stays (the trap that ends the test stops it, with
# wineserver -k).
own_prefix() {
  export TOVIX_PREFIX=$1 WINEPREFIX=$1
  local wine _
  read -r _ wine _ <<<"$WINE_RUN"
  "$SRC/scripts/wine-prefix.sh" "$1" "$wine" >/dev/null 2>&1
  for _ in 1 2 3; do
    wineserver -p 2>/dev/null && break
    timeout 10 wineserver -w || break  # still there after that: one that stays
  done
  # Wine's own services now, with no pipes of ours: a test that started them
  # would leave them holding its output open, and the runner would wait.
  winrun cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
  # And a program that stays on the desktop: it closes, and the clipboard with
  # it, two seconds after the last program on it ends.
  winrun "$BIN/uiprobe.exe" wait TovixNoSuchWindow 2000000000 </dev/null >/dev/null 2>&1 &
}
rm -rf "$SCRATCH"; mkdir -p "$SCRATCH"
