# Sourced by the benchmarks (not tests): the build to measure, its Wine, a
# scratch folder and the timing helpers.
#   bench_setup NAME DLL [BUILD_DIR [NATIVE_DIR]]
#     sets build (BUILD_DIR, or the Windows build this machine's Wine runs),
#     nat (NATIVE_DIR or build/native, configured when missing), wine (the
#     loader for bin/DLL), work (a scratch folder removed on exit) and the
#     Wine environment of the build.
#   native_target TARGET   builds one target of the native build
#   secs CMD...            wall seconds of a command, its output in $work/out.txt;
#                          its CPU seconds (user + system, its children's
#                          included; not the Wine server's) in $work/cpu.txt
#   best N CMD...          the least of N runs
#   pair LABEL OURS PEER [THREADS]
#                          both sides N times in turns, the best of each in
#                          wall and in CPU time, and the ratios ours / peer;
#                          THREADS says how many threads each side codes on
# REPS=N in the environment: the runs of best and pair (default 5); pair
# prints the machine's load average after its runs. Load from
# other work on the machine only ever adds time, so the least of several runs
# is the figure; pair alternates which side goes first, so neither side
# always meets the machine's state the other left.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
reps=${REPS:-5}

bench_setup() {
  local name=$1 dll=$2
  if [ -n "${3:-}" ]; then build=$(cd "$3" && pwd)
  elif can_run_32bit; then build=$root/build/win32
  else build=$root/build/win64; fi
  nat=${4:-$root/build/native}
  wine=$(wine_for "$build/bin/$dll")
  source "$root/scripts/wine-env.sh" "$build" "$wine" >/dev/null 2>&1
  work=$(mktemp -d "/tmp/bench-$name.XXXXXX")
  trap 'rm -rf "$work"' EXIT
}

native_target() {
  [ -f "$nat/build.ninja" ] || CC=clang CXX=clang++ cmake -S "$root" -B "$nat" -G Ninja >/dev/null
  cmake --build "$nat" --target "$1" >/dev/null
}

winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }

# Output goes to a file: Wine writes to a pipe or /dev/null far more slowly.
secs() {
  local s e TIMEFORMAT='%U %S'
  s=$(date +%s%N)
  { time "$@" >"$work/out.txt" 2>&1 || { cat "$work/out.txt" >&2; return 1; }; } 2>"$work/time.txt"
  e=$(date +%s%N)
  awk '{ printf "%.3f", $1 + $2 }' "$work/time.txt" >"$work/cpu.txt"
  awk -v s="$s" -v e="$e" 'BEGIN { printf "%.3f", (e - s) / 1e9 }'
}
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b) ? a : b }'; }
best() {
  local n=$1 b=999 i
  shift
  for ((i = 0; i < n; i++)); do b=$(min "$b" "$(secs "$@")"); done
  echo "$b"
}

# pair LABEL "OURS..." "PEER..." (each evaluated): our outputs are named
# $work/o.*, the peer's $work/p.*, each removed before its side runs again.
# Sets pair_ours and pair_peer to the best times.
pair() {
  local label=$1 ours=$2 peer=$3 threads=${4:-} bo=999 bp=999 co=999 cp=999 i
  run_ours() { rm -f "$work"/o.*; bo=$(min "$bo" "$(eval secs "$ours")"); co=$(min "$co" "$(cat "$work/cpu.txt")"); }
  run_peer() { rm -f "$work"/p.*; bp=$(min "$bp" "$(eval secs "$peer")"); cp=$(min "$cp" "$(cat "$work/cpu.txt")"); }
  for ((i = 0; i < reps; i++)); do
    if ((i % 2 == 0)); then run_ours; run_peer; else run_peer; run_ours; fi
  done
  pair_ours=$bo pair_peer=$bp
  awk -v l="$label" -v o="$bo" -v p="$bp" -v co="$co" -v cp="$cp" -v load="$(cut -d' ' -f1 /proc/loadavg)" \
    'BEGIN { printf "%-44s wall: ours %7.3f s  peer %7.3f s  ratio %.2f %s\n", l, o, p, o / p, o <= p ? "" : "(slower) "
             printf "%-44s CPU:  ours %7.3f s  peer %7.3f s  ratio %.2f %s(load %s)\n", "", co, cp, co / cp, co <= cp ? "" : "(more) ", load }'
  [ -z "$threads" ] || printf '%-44s threads: %s\n' "" "$threads"
}
