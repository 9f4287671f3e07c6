# Shared by the main-window shell tests: the program's settings (these tests
# take their turn in the build's shared prefix and clear what they stored),
# and its start.
source "$TOOLS/lib.sh"
SETTINGS_KEY='software\halvek\Tovix'
regset() { winrun reg add "HKCU\\$SETTINGS_KEY\\$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }
regget() {  # section value -> the stored string (empty when missing)
  winrun reg query "HKCU\\$SETTINGS_KEY\\$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v v="$2" '$1 == v { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}
regclear() { winrun reg delete "HKCU\\$SETTINGS_KEY" /f >/dev/null 2>&1 || true; }
# Starts tovix in the background with the given arguments.
start_tovix() { winrun "$BIN/tovix.exe" "$@" >/dev/null 2>&1 & }
