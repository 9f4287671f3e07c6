#!/usr/bin/env bash
# Benchmarks of unlha32.dll (not a test): walking a 100,000-entry archive
# through OpenArchive/FindFirst/FindNext, and -lh5- decoding speed against
# jlha on the same data (our decoder natively, and through the DLL). jlha is
# called by its own name: `lha` may be either peer, whichever the system's
# alternatives point at.
# Usage: scripts/bench-lha.sh [BUILD_DIR [NATIVE_DIR]]
#   BUILD_DIR: a Windows build (default: the one this machine's Wine runs);
#   NATIVE_DIR: the native build with lha_devtool (default build/native).
set -euo pipefail
source "$(dirname "$0")/common.sh"
if [ -n "${1:-}" ]; then build=$(cd "$1" && pwd)
elif can_run_32bit; then build=$root/build/win32
else build=$root/build/win64; fi
nat=${2:-$root/build/native}
case $(file -b "$build/bin/unlha32.dll") in *x86-64*) wine=/usr/lib/wine/wine64 ;; *) wine=/usr/lib/wine/wine ;; esac
[ -x "$nat/archivers/lha/lha_devtool" ] || { CC=clang CXX=clang++ cmake -S "$root" -B "$nat" -G Ninja >/dev/null; cmake --build "$nat" --target lha_devtool >/dev/null; }
source "$root/scripts/wine-env.sh" "$build" "$wine" >/dev/null 2>&1
work=$(mktemp -d /tmp/bench-lha.XXXXXX)
trap 'rm -rf "$work"' EXIT
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
drv() { "$wine" "$build/bin/arcdrv.exe" "$(winpath "$build/bin/unlha32.dll")" Unlha "$@"; }
# Output goes to a file: Wine writes to a pipe or /dev/null far more slowly.
secs() { local s e; s=$(date +%s.%N); "$@" >"$work/out.txt" 2>&1; e=$(date +%s.%N); awk -v s="$s" -v e="$e" 'BEGIN { printf "%.3f", e - s }'; }
mbps() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.1f", n / 1048576 / t }'; }
best3() { local b=999 t; for _ in 1 2 3; do t=$(secs "$@"); b=$(awk -v a="$b" -v t="$t" 'BEGIN { print (t < a) ? t : a }'); done; echo "$b"; }

echo "== 100,000 entries =="
mkdir -p "$work/many"
for d in $(seq 1 100); do
  mkdir "$work/many/d$d"
  (cd "$work/many/d$d" && seq -f 'file%g.txt' 1 1000 | xargs touch)
done
t=$(secs drv cmd "a -r2 -x1 -n \"$(winpath "$work/many.lzh")\" \"$(winpath "$work/many")\\\" *.*" 0)
printf 'pack (our DLL):            %6.2f s\n' "$t"
"$wine" "$build/bin/wizdrv.exe" "$(winpath "$build/bin/unlha32.dll")" time-common "$(winpath "$work/many.lzh")" Unlha \
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
  native=$(best3 "$nat/archivers/lha/lha_devtool" test "$work/$arc.lzh")
  theirs=$(best3 jlha t "$work/$arc.lzh")
  dll=$(secs drv cmd "t \"$(winpath "$work/$arc.lzh")\"" 0)
  printf '%s.lzh: ours %5.1f MB/s, jlha t %5.1f MB/s (best of 3); through the DLL under Wine %5.1f MB/s\n' "$arc" \
    "$(mbps "$size" "$native")" "$(mbps "$size" "$theirs")" "$(mbps "$size" "$dll")"
done
