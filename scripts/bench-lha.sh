#!/usr/bin/env bash
# Benchmarks of unlha32.dll (not a test): walking a 100,000-entry archive
# through OpenArchive/FindFirst/FindNext, and -lh5- decoding speed against
# lhasa's lha on the same data.
# Usage: scripts/bench-lha.sh [BUILD_DIR]   (a 64-bit Windows build; default build/win64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
wine=/usr/lib/wine/wine64
source "$root/scripts/wine-env.sh" "$build" "$wine" >/dev/null 2>&1
work=$(mktemp -d /tmp/bench-lha.XXXXXX)
trap 'rm -rf "$work"' EXIT
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
drv() { "$wine" "$build/bin/arcdrv.exe" "$(winpath "$build/bin/unlha32.dll")" Unlha "$@"; }
# Output goes to a file: Wine writes to a pipe or /dev/null far more slowly.
secs() { local s e; s=$(date +%s.%N); "$@" >"$work/out.txt" 2>&1; e=$(date +%s.%N); awk -v s="$s" -v e="$e" 'BEGIN { printf "%.3f", e - s }'; }
mbps() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.1f", n / 1048576 / t }'; }

echo "== 100,000 entries =="
mkdir -p "$work/many"
for d in $(seq 1 100); do
  mkdir "$work/many/d$d"
  (cd "$work/many/d$d" && seq -f 'file%g.txt' 1 1000 | xargs touch)
done
t=$(secs drv cmd "a -r2 -x1 -n \"$(winpath "$work/many.lzh")\" \"$(winpath "$work/many")\\\" *.*" 0)
printf 'pack (our DLL):            %6.2f s\n' "$t"
t=$(secs drv list "$(winpath "$work/many.lzh")")
n=$(grep -c . "$work/out.txt" || true)
printf 'walk %d entries (our DLL): %6.2f s (Wine start included; minus the count line)\n' "$((n - 1))" "$t"
t=$(secs drv version)
printf 'Wine start alone:          %6.2f s\n' "$t"
t=$(secs lha l "$work/many.lzh")
printf 'lha l (lhasa):             %6.2f s\n' "$t"

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
  ours=$(secs drv cmd "t \"$(winpath "$work/$arc.lzh")\"" 0)
  theirs=$(secs lha t "$work/$arc.lzh")
  printf '%s.lzh: our DLL %6.2f s (%5.1f MB/s), lha %6.2f s (%5.1f MB/s)\n' "$arc" "$ours" \
    "$(mbps "$size" "$ours")" "$theirs" "$(mbps "$size" "$theirs")"
done
