# Sourced first by the archiver libraries' shell tests (tests/arc_*): lib.sh
# and beside.sh, a report of the line that failed, and the scratch folder as
# the working folder. Provides, beside theirs:
#   W PATH                   winpath PATH
#   gq ARGS...               grep ARGS quietly, reading all its input (no
#                            broken pipe under pipefail, as grep -q gives)
#   rc_of OUTPUT             the number of the "rc=N" first line of a driver's
#                            output
#   expect_rc N OUTPUT       fails unless OUTPUT's first line is rc=N
#   expect_fail OUTPUT       fails unless OUTPUT's first line is rc= other
#                            than rc=0
source "$TOOLS/lib.sh"
source "$TOOLS/beside.sh"
# A command that stops the test under set -e names itself; the ones that
# fail inside a command substitution are left to the line that used it.
set -E
trap '[ "$BASH_SUBSHELL" != 0 ] || echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
cd "$SCRATCH"
W() { winpath "$1"; }
gq() { grep "$@" >/dev/null; }
rc_of() { head -1 <<<"$1" | sed 's/rc=//'; }
expect_rc() {
  local got; got=${2%%$'\n'*}
  [[ $got == "rc=$1" ]] || fail "want rc=$1, got: $2"
}
expect_fail() {
  local got; got=${1%%$'\n'*}
  [[ $got != "rc=0" && $got == rc=* ]] || fail "want an error, got: $1"
}
