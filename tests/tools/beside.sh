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
  local strict=$1 args=() rc=0 probe shell=$BASHPID before
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
  shift
  # A strict probe that fails leaves COMMAND waiting on a window nobody
  # answers: the probe's wrapper then shows the probe's lines and, after a
  # few seconds for COMMAND to end by itself, ends what it started (the
  # shell's children that were not there before, and theirs), so the test
  # fails at once instead of at its time limit.
  before=" $(_beside_children "$shell" | tr '\n' ' ') "
  (
    $WINE_RUN "$BIN/uiprobe.exe" "${args[@]}" >"$SCRATCH/probe.log" 2>&1 </dev/null && exit 0
    if [ "$strict" = 1 ]; then
      tr -d '\r' <"$SCRATCH/probe.log" >&2
      poll 5 _beside_ended "$shell" "$BASHPID" "$before" || _beside_end "$shell" "$BASHPID" "$before"
    fi
    exit 1
  ) &
  probe=$!
  "$@" || rc=$?
  if ! wait "$probe" && [ "$strict" = 1 ]; then
    fail "uiprobe ${args[*]} (its lines above)"
  fi
  return $rc
}
_beside_children() { ps -o pid= --ppid "$1" 2>/dev/null | tr -d ' ' || true; }
# The processes COMMAND started: SHELL's children but the wrapper (SELF) and
# those in BEFORE.
_beside_started() {  # SHELL SELF BEFORE
  local p
  for p in $(_beside_children "$1"); do
    [ "$p" = "$2" ] || [[ $3 == *" $p "* ]] || echo "$p"
  done
}
_beside_ended() { [ -z "$(_beside_started "$@")" ]; }
_beside_tree() {  # PID: it and all below it
  local c
  echo "$1"
  for c in $(_beside_children "$1"); do _beside_tree "$c"; done
}
_beside_end() {  # SHELL SELF BEFORE
  local p pids=()
  for p in $(_beside_started "$@"); do pids+=($(_beside_tree "$p")); done
  [ ${#pids[@]} -gt 0 ] || return 0
  echo "beside: the probe failed; ending what the command started: ${pids[*]}" >&2
  kill -TERM "${pids[@]}" 2>/dev/null || true
  sleep 1
  kill -KILL "${pids[@]}" 2>/dev/null || true
}
unasked() { ! tr -d '\r' <"$SCRATCH/probe.log" | grep -qF -- "$1" || fail "$2: '$1' in: $(cat "$SCRATCH/probe.log")"; }
