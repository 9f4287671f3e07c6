# Sourced after lib.sh by tests whose libraries and programs ask through real
# dialogs (their CMake entry takes the desktop's turn: WINDOWS). Provides:
#   beside PROBE-ARGS... -- COMMAND...
#       runs COMMAND (a program or a shell function) while uiprobe works the
#       windows it shows (PROBE-ARGS: uiprobe's commands, e.g. `answer
#       "はい(Y)"`). COMMAND's output goes to stdout; the probe's lines go to
#       $SCRATCH/probe.log, shown when the probe failed, which fails the test
#       (a question that was not asked, a button that is not there). Returns
#       COMMAND's exit code.
#   asked TEXT WHAT   fails unless the last probe's lines hold TEXT
beside() { _beside 1 "$@"; }
asked() { tr -d '\r' <"$SCRATCH/probe.log" | grep -qF -- "$1" || fail "$2: '$1' not in: $(cat "$SCRATCH/probe.log")"; }
#   beside_any PROBE-ARGS... -- COMMAND...
#       the same, for probes that may rightly fail (a window that must not
#       come: `dialog X 3000` then finds none); their lines tell what came.
#   unasked TEXT WHAT   fails when the last probe's lines hold TEXT
beside_any() { _beside 0 "$@"; }
_beside() {  # STRICT PROBE-ARGS... -- COMMAND...
  local strict=$1 args=() rc=0 probe
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
  shift
  $WINE_RUN "$BIN/uiprobe.exe" "${args[@]}" >"$SCRATCH/probe.log" 2>&1 </dev/null &
  probe=$!
  "$@" || rc=$?
  if ! wait "$probe" && [ "$strict" = 1 ]; then
    tr -d '\r' <"$SCRATCH/probe.log" >&2
    fail "uiprobe ${args[*]}"
  fi
  return $rc
}
unasked() { ! tr -d '\r' <"$SCRATCH/probe.log" | grep -qF -- "$1" || fail "$2: '$1' in: $(cat "$SCRATCH/probe.log")"; }
