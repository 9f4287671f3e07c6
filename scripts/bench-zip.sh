#!/usr/bin/env bash
# Times one FindFirst/FindNext walk of a 100,000-entry ZIP archive (made by
# zip) through both kinds of unzip32.dll, and one zip32 update of it.
#   scripts/bench-zip.sh [BUILD_DIR]   (default: the Windows build this machine's Wine runs)
set -euo pipefail
source "$(dirname "$0")/common.sh"
if [ -n "${1:-}" ]; then build=$(cd "$1" && pwd)
elif can_run_32bit; then build=$root/build/win32
else build=$root/build/win64; fi
case $(file -b "$build/bin/unzip32.dll") in *x86-64*) wine=/usr/lib/wine/wine64 ;; *) wine=/usr/lib/wine/wine ;; esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() { "$root/cmake/wine-run.sh" "$wine" "$build" "$@"; }
wp() { printf 'Z:%s' "${1//\//\\}"; }

echo "making 100,000 files..."
mkdir -p "$work/src"
python3 - "$work/src" <<'PY'
import os, sys
for d in range(100):
    os.mkdir(os.path.join(sys.argv[1], "d%02d" % d))
    for f in range(1000):
        with open(os.path.join(sys.argv[1], "d%02d" % d, "f%03d.txt" % f), "w") as o:
            o.write("%02d%03d\n" % (d, f))
PY
(cd "$work/src" && zip -qr "$work/big.zip" .)
echo "archive: $(unzip -Z1 "$work/big.zip" | wc -l) entries, $(stat -c %s "$work/big.zip") bytes"
run "$build/bin/tests/wizdrv.exe" "$(wp "$build/bin/unzip32.dll")" time-common "$(wp "$work/big.zip")"
run "$build/bin/tests/wizdrv.exe" "$(wp "$build/bin/tests/infozip/unzip32.dll")" time-wiz "$(wp "$work/big.zip")" | sed -n 1p
echo "n" > "$work/src/new.txt"
start=$(date +%s.%N)
run "$build/bin/tests/wizdrv.exe" "$(wp "$build/bin/zip32.dll")" zip "$(wp "$work/big.zip")" "$(wp "$work/src")" 6 new.txt | tail -1
echo "zip32 adding one file: $(echo "$(date +%s.%N) - $start" | bc) s (with Wine's start-up)"
