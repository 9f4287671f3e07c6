#!/usr/bin/env bash
# Extraction into files against the peer tools (not a test). One real tree
# (the system's documentation, its Python library and its Perl modules,
# files under 4 MB whose names Windows and code page 932 take as they are:
# about 10,600 files, 200 MB) is packed as ZIP (zip -6), LZH -lh5- (our
# unlha32.dll), .tar.gz and .tar.bz2 (tar), then extracted into an empty
# folder by
#   ours:  unzip32.dll, unlha32.dll, tar32.dll under Wine, each a whole
#          command through arcdrv (the start of the Wine process included;
#          its cost alone is printed first);
#   peers: unzip -q, lhasa x, tar xzf / tar xjf, and bsdtar xf for all four;
#   floor: bin/tests/mkfiles.exe under Wine, which only makes the same
#          folders and files with the same sizes and times, so ours / floor
#          is what our extraction costs beyond the files themselves there.
# Every side runs with TZ set and in the program's locale (ja_JP.UTF-8);
# each round takes every side once, in an order that turns by one each
# round, and the best of REPS rounds is the figure (scripts/bench-common.sh).
# A first round outside the figures warms the file cache and checks that
# every side made the whole tree (ours byte for byte).
# Usage: scripts/bench-extract.sh [BUILD_DIR]   (REPS=N, default 5)
#
# Before/after the extraction work of Dec 2026 (REPS=3, both builds run side
# by side on a machine loaded by other work, so walls move by half a second;
# CPU is user + system of the Wine process, seconds):
#   format   ours wall     ours CPU     peer wall   floor wall (CPU)
#   zip      4.71 / 5.17   3.21 / 2.83  1.55-1.80   4.64 / 3.67 (2.24 / 2.07)
#   lzh      6.18 / 4.47   4.19 / 2.97  3.08-3.09
#   tgz      3.09 / 4.19   1.99 / 2.58  1.26-1.31   (tar code unchanged: noise)
#   tbz     12.57 / 13.09 10.73 /10.38  9.32-10.02
# and, run in turns one after the other, best of 3, CPU: zip 3.35 / 2.74,
# lzh 4.59 / 2.97, tgz 2.77 / 3.00, tbz 10.69 / 9.52, floor 2.17 / 2.22.
# What was saved: CRC-32 eight bytes a step (a byte at a time it cost more
# than inflating); ZIP keeps one inflate state (inflateReset) and its two
# buffers for the run, LHA lends its decoders' window and blocks from entry
# to entry (under Wine each entry's fresh 64-128 KB blocks cost a heap
# map/unmap round trip: 30,000 mmap/mprotect calls a run); both read the
# archive through a 1 MB block (22,000 reads and 21,000 seeks fewer).
# Profile: build/native's arc_extract runs the same operations natively
# (perf record archivers/arc_extract zip a.zip out). bzip2 decoding itself
# is most of tbz (its inverse transform walks memory at cache speed), so
# the floor target cannot be met there; the peer target is.
set -euo pipefail
source "$(dirname "$0")/bench-common.sh"
bench_setup extract unlha32.dll "${1:-}"
export TZ=${TZ:-Asia/Tokyo}
[ -f "$build/bin/tests/mkfiles.exe" ] || { echo "no $build/bin/tests/mkfiles.exe: build the tests first" >&2; exit 1; }

# The tree, and the list the floor makes it from.
python3 - "$work/tree" "$work/list.txt" /usr/share/doc /usr/lib/python3 /usr/lib/python3.11 /usr/share/perl <<'PY'
import os, re, shutil, sys
out, listing, roots = sys.argv[1], sys.argv[2], sys.argv[3:]
ok = re.compile(r"^[A-Za-z0-9._+,=@#%!()\[\]{}~' -]+$")
devices = {"con", "prn", "aux", "nul"} | {"com%d" % i for i in range(1, 10)} | {"lpt%d" % i for i in range(1, 10)}
def good(part):
    return ok.match(part) and not part.endswith((".", " ")) and part.split(".")[0].lower() not in devices
folders, taken, files = {}, set(), []
for root in roots:
    if not os.path.isdir(root):
        continue
    top = os.path.basename(root)
    for d, subs, names in os.walk(root):
        subs.sort()
        for n in sorted(names):
            src = os.path.join(d, n)
            rel = os.path.join(top, os.path.relpath(src, root))
            parts = rel.split("/")
            if (not os.path.isfile(src) or os.path.islink(src) or os.path.getsize(src) >= 4 << 20
                    or len(rel) > 160 or not all(good(p) for p in parts) or rel.lower() in taken):
                continue
            # Windows folds case: one spelling per folder, no file where a folder is.
            dirs = ["/".join(parts[:i]) for i in range(1, len(parts))]
            if any(folders.get(x.lower(), x) != x or x.lower() in taken for x in dirs) or rel.lower() in folders:
                continue
            for x in dirs:
                folders[x.lower()] = x
            taken.add(rel.lower())
            files.append((src, rel))
with open(listing, "w") as f:
    for x in sorted(folders.values()):
        os.makedirs(os.path.join(out, x), exist_ok=True)
        f.write("d %s\n" % x)
    for src, rel in files:
        dst = os.path.join(out, rel)
        shutil.copyfile(src, dst)
        shutil.copystat(src, dst)
        os.chmod(dst, 0o644)
        st = os.stat(dst)
        f.write("f %d %d %s\n" % (st.st_size, int(st.st_mtime), rel))
PY
files=$(find "$work/tree" -type f | wc -l)
folders=$(find "$work/tree" -mindepth 1 -type d | wc -l)
tsize=$(du -sb --apparent-size "$work/tree" | cut -f1)
T=$(winpath "$work/tree") B=$(winpath "$work") X=$(winpath "$work/x")

drv() { "$wine" "$build/bin/tests/arcdrv.exe" "$(winpath "$build/bin/$1")" "$2" cmd "$3" "${4:-0}"; }
# One of our commands; a failure shows its log and stops the run.
lib() {
  drv "$@" >"$work/lib.txt" 2>&1
  grep -q '^rc=0' "$work/lib.txt" || { echo "FAILED: $3" >&2; cat "$work/lib.txt" >&2; return 1; }
}
in_dir() { local d=$1; shift; (cd "$d" && "$@"); }

# The archives (not timed).
in_dir "$work/tree" zip -q -r -6 "$work/a.zip" .
lib unlha32.dll Unlha "a -r2 -x1 -a1 -n -jm2 \"$B\\a.lzh\" \"$T\\\" *.*"
in_dir "$work/tree" tar -czf "$work/a.tar.gz" .
in_dir "$work/tree" tar -cjf "$work/a.tar.bz2" .
echo "tree: $files files in $folders folders, $tsize bytes (/usr/share/doc, /usr/lib/python3*, /usr/share/perl)"
for a in a.zip a.lzh a.tar.gz a.tar.bz2; do printf '  %-10s %11d bytes\n' "$a" "$(stat -c %s "$work/$a")"; done
w=$(best 3 "$wine" "$build/bin/tests/arcdrv.exe" "$(winpath "$build/bin/unlha32.dll")" Unlha version)
echo "a Wine process that only loads a library: $w s (in each of our times and the floor's)"
echo "TZ=$TZ, LC_ALL=$LC_ALL; best of $reps rounds; load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"

# The sides: NAME and the command (evaluated), each into an empty $work/x.
names=() cmds=()
side() { names+=("$1"); cmds+=("$2"); }
side floor    '"$wine" "$build/bin/tests/mkfiles.exe" "$(winpath "$work/list.txt")" "$X"'
side zip.ours 'lib unzip32.dll UnZip "-x -o \"$B\\a.zip\" \"$X\\\""'
side zip.unzip 'unzip -q -o "$work/a.zip" -d "$work/x"'
side zip.bsdtar 'bsdtar -xf "$work/a.zip" -C "$work/x"'
side lzh.ours 'lib unlha32.dll Unlha "x -n \"$B\\a.lzh\" \"$X\\\""'
side lzh.lhasa 'in_dir "$work/x" lhasa xq "$work/a.lzh"'
side lzh.bsdtar 'bsdtar -xf "$work/a.lzh" -C "$work/x"'
side tgz.ours 'lib tar32.dll Tar "--display-dialog=0 -x \"$B\\a.tar.gz\" \"$X\\\""'
side tgz.tar  'tar -xzf "$work/a.tar.gz" -C "$work/x"'
side tgz.bsdtar 'bsdtar -xf "$work/a.tar.gz" -C "$work/x"'
side tbz.ours 'lib tar32.dll Tar "--display-dialog=0 -x \"$B\\a.tar.bz2\" \"$X\\\""'
side tbz.tar  'tar -xjf "$work/a.tar.bz2" -C "$work/x"'
side tbz.bsdtar 'bsdtar -xf "$work/a.tar.bz2" -C "$work/x"'
n=${#names[@]}
declare -A wall cpu
run_side() {  # index
  rm -rf "$work/x" && mkdir "$work/x"
  local t
  t=$(eval secs "${cmds[$1]}")
  wall[${names[$1]}]=$(min "${wall[${names[$1]}]:-999}" "$t")
  cpu[${names[$1]}]=$(min "${cpu[${names[$1]}]:-999}" "$(cat "$work/cpu.txt")")
}

# Warm-up and check: every side makes every file; ours hold the tree's bytes.
for ((j = 0; j < n; j++)); do
  rm -rf "$work/x" && mkdir "$work/x"
  eval secs "${cmds[$j]}" >/dev/null
  got=$(find "$work/x" -type f | wc -l)
  [ "$got" = "$files" ] || echo "FAILED: ${names[$j]} made $got files of $files"
  case ${names[$j]} in
    *.ours) diff -rq "$work/tree" "$work/x" >/dev/null || echo "FAILED: ${names[$j]} differs from the tree" ;;
    floor) [ "$(du -sb --apparent-size "$work/x" | cut -f1)" = "$tsize" ] || echo "FAILED: the floor's sizes differ" ;;
  esac
done

for ((i = 0; i < reps; i++)); do
  for ((k = 0; k < n; k++)); do run_side $(((i + k) % n)); done
done
rm -rf "$work/x"

echo "== seconds, best of $reps (ratio 1.00 or less: ours as fast or faster) =="
printf '%-8s %8s %-9s %8s %8s %8s %10s %10s %10s %9s\n' \
  format ours peer time "bsdtar x" floor ours/peer ours/bsdtar ours/floor "ours CPU"
for f in "zip:unzip:unzip -q" "lzh:lhasa:lhasa x" "tgz:tar:tar xzf" "tbz:tar:tar xjf"; do
  IFS=: read -r fmt peer label <<<"$f"
  awk -v fmt="$fmt" -v peer="$label" -v o="${wall[$fmt.ours]}" -v p="${wall[$fmt.$peer]}" -v b="${wall[$fmt.bsdtar]}" \
      -v fl="${wall[floor]}" -v c="${cpu[$fmt.ours]}" \
    'BEGIN { printf "%-8s %8.3f %-9s %8.3f %8.3f %8.3f %10.2f %10.2f %10.2f %9.3f\n",
                    fmt, o, peer, p, b, fl, o / p, o / b, o / fl, c }'
done
echo "ours CPU: user + system of the Wine process (not the Wine server's); the floor's: ${cpu[floor]} s"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
