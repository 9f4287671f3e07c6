# Sourced by the shell tests that run the program in a Wine prefix of the
# test's own (its own settings, and no other test's window answers the
# probe): the prefix, the probe, the program stopped when the test ends, and
# the checks and values those tests share. Provides, beside lib.sh's:
#   $SETTINGS_KEY            the program's key under HKCU
#   $TOVIX_PID               the program started in the background (the
#                            caller's start_tovix sets it)
#   stop_tovix               closes that program's window and waits for it
#   regset SECTION NAME DATA one setting in the program's key
#   $DOS                     2004-03-05 14:07:58 as a DOS date in hexadecimal
source "$TOOLS/lib.sh"
own_prefix "$SCRATCH/prefix"
SETTINGS_KEY='software\halvek\Tovix'
trap 'stop_tovix; wineserver -k 2>/dev/null || true' EXIT
TOVIX_PID=""
stop_tovix() {
  [ -n "$TOVIX_PID" ] || return 0
  probe find TVantrelbyHalvek close wait-exit 20000 >/dev/null 2>&1 || true
  wait "$TOVIX_PID" 2>/dev/null || true
  TOVIX_PID=""
}
regset() { winrun reg add "HKCU\\$SETTINGS_KEY\\$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }
DOS=306570FD
