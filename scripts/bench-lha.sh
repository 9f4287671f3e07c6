#!/usr/bin/env bash
# Benchmarks of unlha32.dll (not a test): walking a 100,000-entry archive
# through OpenArchive/FindFirst/FindNext, and -lh5- decoding speed against
# jlha on the same data (our decoder natively, and through the DLL). jlha is
# called by its own name: `lha` may be either peer, whichever the system's
# alternatives point at.
# Usage: scripts/bench-lha.sh [BUILD_DIR [NATIVE_DIR]]
#   BUILD_DIR: a Windows build (default: the one this machine's Wine runs);
#   NATIVE_DIR: the native build with lha_devtool (default build/native).
#   REPS=N in the environment: runs of each decoding time (default 5).
set -euo pipefail
source "$(dirname "$0")/bench-common.sh"
bench_setup lha unlha32.dll "${1:-}" "${2:-}"
native_target lha_devtool
drv() { "$wine" "$build/bin/tests/arcdrv.exe" "$(winpath "$build/bin/unlha32.dll")" Unlha "$@"; }
mbps() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.1f", n / 1048576 / t }'; }

echo "== 100,000 entries =="
mkdir -p "$work/many"
for d in $(seq 1 100); do
  mkdir "$work/many/d$d"
  (cd "$work/many/d$d" && seq -f 'file%g.txt' 1 1000 | xargs touch)
done
t=$(secs drv cmd "a -r2 -x1 -n \"$(winpath "$work/many.lzh")\" \"$(winpath "$work/many")\\\" *.*" 0)
printf 'pack (our DLL):            %6.2f s\n' "$t"
"$wine" "$build/bin/tests/wizdrv.exe" "$(winpath "$build/bin/unlha32.dll")" time-common "$(winpath "$work/many.lzh")" Unlha \
  | tr -d '\r' | sed 's/^/walk in the DLL: /'
t=$(secs drv list "$(winpath "$work/many.lzh")")
printf 'listing through arcdrv:    %6.2f s (Wine start and printing included)\n' "$t"
t=$(secs jlha l "$work/many.lzh")
printf 'jlha l:                    %6.2f s\n' "$t"

echo "== -lh5- decoding =="
: > "$work/data.bin"
for f in /usr/bin/* /usr/lib/x86_64-linux-gnu/*.so*; do
  [ -f "$f" ] && cat "$f" >> "$work/data.bin"
  [ "$(stat -c %s "$work/data.bin")" -gt 60000000 ] && break
done
size=$(stat -c %s "$work/data.bin")
(cd "$work" && jlha ao5 j5.lzh data.bin >/dev/null 2>&1)
t=$(secs drv cmd "a -jm2 \"$(winpath "$work/o5.lzh")\" \"$(winpath "$work")\\\" data.bin" 0)
printf 'pack %d MB -lh5- (our DLL): %6.2f s, %d bytes (jlha: %d)\n' $((size >> 20)) "$t" "$(stat -c %s "$work/o5.lzh")" "$(stat -c %s "$work/j5.lzh")"
for arc in j5 o5; do
  native=$(best "$reps" "$nat/archivers/lha/lha_devtool" test "$work/$arc.lzh")
  theirs=$(best "$reps" jlha t "$work/$arc.lzh")
  dll=$(secs drv cmd "t \"$(winpath "$work/$arc.lzh")\"" 0)
  printf '%s.lzh: ours %5.1f MB/s, jlha t %5.1f MB/s (best of %d); through the DLL under Wine %5.1f MB/s\n' "$arc" \
    "$(mbps "$size" "$native")" "$(mbps "$size" "$theirs")" "$reps" "$(mbps "$size" "$dll")"
done
