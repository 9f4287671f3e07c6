#!/usr/bin/env bash
# Listing speed on big archives against the peer tools (not a test).
#  big.zip: 100,000 entries in 2,000 folders; flat.zip: 100,000 in one folder.
#  1. Start to listed: from the moment Tovix is started until its tree and
#     root list are filled (the program writes the time the listing ended to
#     its trace), against `7zz l`, `unzip -l` and `bsdtar tf` on the same
#     archive, started and finished (their output to a file); each side is
#     taken REPS times in turns and the best compared: ratio = ours / peer.
#  2. Filling the list of the 100,000-row folder (the program's own timer,
#     QueryPerformanceCounter), REPS times; the target is under 200 ms.
#  3. For reference: the library's bare walk, the biggest folder of big.zip
#     sorted by size both ways, select all.
# Usage: scripts/bench-listing.sh [BUILD]   (default: the test build; REPS=N)
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=${1:-}
reps=${REPS:-5}
if [ -z "$build" ]; then
  build_test >/dev/null
  build=$TEST_BUILD wine=$TEST_WINE
else
  build=$(cd "$build" && pwd)
  wine=$(wine_for "$build/bin/tovix.exe")
fi
bin="$build/bin"
work="$build/bench-listing"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
source "$root/scripts/wine-env.sh" "$build" "$wine" >/dev/null 2>&1
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

python3 - "$work/big.zip" "$work/flat.zip" <<'PY'
import sys, zipfile
# 2,000 folders of 49 entries each, one folder of 2,000 more.
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_STORED) as z:
    n = 0
    for d in range(2000):
        for f in range(49):
            z.writestr("dir%04d/sub/file%05d.txt" % (d, n), "x" * (n % 97))
            n += 1
    while n < 100000:
        z.writestr("big/file%06d.dat" % n, "y" * (n % 89))
        n += 1
with zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_STORED) as z:
    for n in range(100000):
        z.writestr("flat/file%06d.%s" % (n, ("txt", "dat", "c", "h", "bin")[n % 5]), "z" * (n % 31))
PY

trace="$work/trace.txt"
export TOVIX_TRACE=$(winpath "$trace") TOVIX_ANSWERS="none=1"
export TOVIX_SETTINGS_KEY="software\\halvek\\TovixBench"
"$wine" reg add "HKCU\\$TOVIX_SETTINGS_KEY\\Other" /v 2Err /d 1 /f >/dev/null 2>&1
probe() { "$wine" "$bin/uiprobe.exe" "$@" | tr -d '\r'; }
listings() { local n; n=$(grep -c '^time listing' "$trace" 2>/dev/null); echo "${n:-0}"; }
# Starts Tovix on an archive and waits for its listing; leaves it running.
start_listed() {  # archive -> prints the milliseconds from start to listed
  local before t0 at
  before=$(listings)
  t0=$(now_ms)
  "$wine" "$bin/tovix.exe" "$(winpath "$1")" >/dev/null 2>&1 &
  tovix_pid=$!
  for _ in $(seq 1200); do [ "$(listings)" -gt "$before" ] && break; sleep 0.05; done
  at=$(grep '^time listing' "$trace" | tail -1 | sed -n 's/.* at \([0-9]*\).*/\1/p')
  echo $((at - t0))
}
stop() { probe wait TVantrelbyHalvek close wait-exit 60000 >/dev/null || true; wait "$tovix_pid" 2>/dev/null || true; }
best() { sort -n | head -1; }
peer_ms() {  # command... -> milliseconds, output to a file
  local t0 t1
  t0=$(date +%s%N); "$@" >"$work/peer.txt" 2>&1; t1=$(date +%s%N)
  echo $(((t1 - t0) / 1000000))
}

# A first start outside the figures: the prefix and the file cache warm up.
start_listed "$work/big.zip" >/dev/null; stop
: > "$work/ours" ; : > "$work/7zz" ; : > "$work/unzip" ; : > "$work/bsdtar"
for ((i = 0; i < reps; i++)); do
  start_listed "$work/big.zip" >>"$work/ours"; stop
  peer_ms 7zz l "$work/big.zip" >>"$work/7zz"
  peer_ms unzip -l "$work/big.zip" >>"$work/unzip"
  peer_ms bsdtar tf "$work/big.zip" >>"$work/bsdtar"
done
ours=$(best <"$work/ours")
echo "== start to listed, big.zip (100,000 entries, 2,000 folders), best of $reps =="
printf '%-28s %6d ms   (runs: %s)\n' "tovix (start to filled list)" "$ours" "$(tr '\n' ' ' <"$work/ours")"
for p in 7zz unzip bsdtar; do
  b=$(best <"$work/$p")
  awk -v n="$p" -v o="$ours" -v b="$b" 'BEGIN { printf "%-28s %6d ms   ratio tovix / %s = %.2f %s\n", n, b, n, o / b, o <= b ? "" : "(slower)" }'
done
grep '^time ' "$trace" | grep -E '^time (walk|tree|listing)' | tail -3 | sed 's/^time /  last run inside: /'

echo "== filling the list of one 100,000-row folder (flat.zip), $reps times =="
start_listed "$work/flat.zip" >/dev/null
for ((i = 0; i < reps; i++)); do
  probe wait TVantrelbyHalvek select-node "flat.zip/flat" >/dev/null
  probe wait TVantrelbyHalvek select-node "flat.zip" >/dev/null
done
stop
grep '^time fill .* rows 100000' "$trace" | awk '
  { for (i = 1; i <= NF; i++) if ($i == "ms") v = $(i - 1); n++; s = s " " v; if (v > worst) worst = v; if (!best || v < best) best = v }
  END { printf "fill of 100,000 rows: best %.1f ms, slowest %.1f ms (runs:%s); target under 200 ms: %s\n", best, worst, s, worst < 200 ? "met" : "MISSED" }'

echo "== for reference =="
t0=$(date +%s%N)
"$wine" "$bin/arcdrv.exe" "$(winpath "$bin/unzip32.dll")" UnZip list "$(winpath "$work/big.zip")" >"$work/walk.txt"
t1=$(date +%s%N)
printf 'library walk through arcdrv (with its process start): %d ms, %d lines\n' $(((t1 - t0) / 1000000)) "$(grep -c . "$work/walk.txt")"
start_listed "$work/big.zip" >/dev/null
probe wait TVantrelbyHalvek select-node "big.zip/big" >/dev/null
probe wait TVantrelbyHalvek command "サイズ順(Z)" sleep 500 >/dev/null
"$wine" "$bin/lvclick.exe" TVantrelbyHalvek col:1 >/dev/null
sleep 1
probe wait TVantrelbyHalvek command "すべて選択(A)" sleep 1000 status >"$work/status.txt"
grep -F 'status[1]' "$work/status.txt" | sed 's/^/  /'
stop
grep -E '^time (fill .* rows 2000|sort|select)' "$trace" | sed 's/^time /  /'
