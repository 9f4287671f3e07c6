#!/usr/bin/env bash
# Every stand-in library under Wine, extracting where the disk says no: a
# read-only folder with a read-only old file in it, a full file system with an
# old file to replace, a read-only old file held open by another program,
# and a path past 260 characters. Each must answer an
# error and log the entry, leave no temporary file, and leave the old file as
# it was, bytes and attributes. A normal extraction first: the stored times,
# and the read-only attribute where the format carries one.
source "$TOOLS/lib.sh"
source "$TOOLS/beside.sh"
cd "$SCRATCH"
W() { winpath "$1"; }
ad() { arcdrv "$@" 2>/dev/null | tr -d '\r' | iconv -f CP932 -t UTF-8; }
rardrv() { $WINE_RUN "$BIN/rardrv.exe" "$(W "$BIN/unrar.dll")" "$@" | tr -d '\r'; }

# The fixture: a.txt (150 KB, more than the small disk holds) and sub/b.txt
# (read-only), each with its own time.
mkdir -p src/sub
head -c 150000 /dev/urandom > src/a.txt
echo bee > src/sub/b.txt
touch -d '2001-02-03 04:05:06' src/a.txt
touch -d '2002-03-04 05:06:08' src/sub/b.txt
chmod a-w src/sub/b.txt
# A path that is short enough to store but too long to write under the
# extraction folder: 242 characters of folders.
deep=$(printf 'd123456789/%.0s' $(seq 22))
mkdir -p "long/$deep"
echo ok > long/ok.txt
echo deep > "long/$deep/c.txt"
rel=$deep/c.txt

# pack LIB ARCHIVE DIR NAME... ; the archive holds the names as stored paths.
pack() {
  local lib=$1 arc=$PWD/$2 dir=$3
  shift 3
  case $lib in
    zip) (cd "$dir" && zip -qr "$arc" "$@") ;;
    tar) tar cf "$arc" -C "$dir" "$@" ;;
    cab) (cd "$dir" && gcab -c "$arc" "$@") ;;
    bga)
      python3 - "$arc" "$dir" "$@" <<'PY'
import os, struct, sys, time, zlib
# Stored entries in the published layout (a header sum, then the fields).
out, base, names = sys.argv[1], sys.argv[2], sys.argv[3:]
blob = b''
for n in names:
    p = os.path.join(base, n)
    data = open(p, 'rb').read()
    st = os.stat(p)
    t = time.localtime(st.st_mtime)
    dtime = (t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2)
    ddate = ((t.tm_year - 1980) << 9) | (t.tm_mon << 5) | t.tm_mday
    attr = 0x20 | (0 if st.st_mode & 0o200 else 1)
    name = n.replace('/', '\\').encode()
    fields = struct.pack('<4sIIIHHHHH', b'STOR', len(data), len(data), zlib.crc32(data), dtime, ddate, attr, 0,
                         len(name)) + name
    blob += struct.pack('<H', sum(fields) & 0xFFFF) + fields + data
open(out, 'wb').write(blob)
PY
      ;;
    rar)
      local items=() n
      for n in "$@"; do
        if [ -d "$dir/$n" ]; then items+=("$n/"); else items+=("$n=$dir/$n"); fi
      done
      $WINE_RUN "$BIN/mkrar.exe" -t 20010203040506 "$arc" "${items[@]}" >/dev/null ;;
    lha) (cd "$dir" && jlha a "$arc" "$@" >/dev/null 2>&1) ;;
    arj) (cd "$dir" && arj a -r "$arc" "$@" >/dev/null 2>&1) ;;
  esac
}

# unpack LIB ARCHIVE DEST [ask] : "rc=N" and the log. ask: an old file is in
# the way and the library asks before it replaces one.
unpack() {
  local lib=$1 arc=$2 dest=$3 ask=${4:-}
  case $lib in
    zip) ad unzip32.dll UnZip cmd "-x -o \"$(W "$arc")\" \"$(W "$dest")\\\"" ;;
    tar)
      if [ -n "$ask" ]; then
        beside answer "はい(Y)" -- ad tar32.dll Tar cmd "--display-dialog=0 -x \"$(W "$arc")\" \"$(W "$dest")\\\""
      else
        ad tar32.dll Tar cmd "--display-dialog=0 -x \"$(W "$arc")\" \"$(W "$dest")\\\""
      fi ;;
    cab) ad cab32.dll Cab cmd "-x -o \"$(W "$arc")\" \"$(W "$dest")\\\"" ;;
    bga) ad bga32.dll Bga cmd "x -o \"$(W "$arc")\" \"$(W "$dest")\\\"" ;;
    lha) ad unlha32.dll Unlha cmd "x -c1 -y -a1 -n \"$(W "$arc")\" \"$(W "$dest")\\\"" ;;
    arj) ad unarj32j.dll Unarj cmd "x -y -a1 \"$(W "$arc")\" \"$(W "$dest")\\\"" ;;
    rar)
      # No log of its own: each entry's answer is its line; rc is the worst.
      local out
      out=$(rardrv extract "$arc" "$(W "$dest")" path)
      printf 'rc=%s\n%s\n' "$(awk -F'\t' 'NF == 2 && $2 != 0 {r = $2} END {print r + 0}' <<<"$out")" "$out" ;;
  esac
}

rc_of() { sed -n '1s/^rc=//p' <<<"$1"; }
# failed LOG NAME WHAT: an error answered and a line about the entry.
failed() {
  [ "$(rc_of "$1")" != 0 ] || fail "$3: answered success: $1"
  local base=${2##*/}
  sed 1d <<<"$1" | grep -F -- "$base" | grep -vqE '^(Melted|Extracting|mkdir)' || fail "$3: no line about $2: $1"
}
no_temp() { [ -z "$(find "$1" -name '*$t*' 2>/dev/null)" ] || fail "$2: temporary file left: $(find "$1" -name '*$t*')"; }
# old_file DIR: an old read-only a.txt of its own time.
old_file() { printf 'old\n' > "$1/a.txt"; touch -d '1999-09-09 09:09:08' "$1/a.txt"; chmod a-w "$1/a.txt"; }
old_same() {
  [ "$(cat "$1/a.txt")" = old ] || fail "$2: the old file's bytes changed"
  [ "$(stat -c '%A %Y' "$1/a.txt")" = "-r--r--r-- $(date -d '1999-09-09 09:09:08' +%s)" ] ||
    fail "$2: the old file's attributes or time changed: $(stat -c '%A %y' "$1/a.txt")"
}

can_mount=0
mkdir -p probe && mount -t tmpfs -o size=64k tmpfs probe 2>/dev/null && umount probe && can_mount=1
[ $can_mount = 1 ] || echo "note: no tmpfs here, the read-only and full-disk cases are left out"
cleanup() { for m in "$SCRATCH"/*/ro "$SCRATCH"/*/full; do mountpoint -q "$m" 2>/dev/null && umount "$m"; done; true; }
trap cleanup EXIT

# ro: the format (as the peer tool writes it) carries the read-only attribute.
for row in "zip ro" "tar -" "cab -" "bga ro" "rar -" "lha -" "arj ro"; do
  read -r lib roAttr <<<"$row"
  mkdir -p "$lib"
  a=$lib/m.$lib
  pack "$lib" "$a" src a.txt sub/b.txt
  [ -s "$a" ] || fail "$lib: no fixture made"

  # Normal: bytes, times, attributes, no temporary file.
  mkdir -p "$lib/out"
  log=$(unpack "$lib" "$a" "$lib/out")
  [ "$(rc_of "$log")" = 0 ] || fail "$lib: normal extraction: $log"
  cmp -s src/a.txt "$lib/out/a.txt" && cmp -s src/sub/b.txt "$lib/out/sub/b.txt" || fail "$lib: bytes: $log"
  [ "$(stat -c %Y "$lib/out/a.txt")" = "$(stat -c %Y src/a.txt)" ] || fail "$lib: time of a.txt: $(stat -c %y "$lib/out/a.txt")"
  if [ "$lib" != rar ]; then
    [ "$(stat -c %Y "$lib/out/sub/b.txt")" = "$(stat -c %Y src/sub/b.txt)" ] || fail "$lib: time of sub/b.txt"
  fi
  if [ "$roAttr" = ro ]; then
    [ ! -w "$lib/out/sub/b.txt" ] || [ "$(stat -c %A "$lib/out/sub/b.txt" | cut -c3)" = - ] ||
      fail "$lib: sub/b.txt lost its read-only attribute"
    [ "$(stat -c %A "$lib/out/a.txt" | cut -c3)" = w ] || fail "$lib: a.txt came out read-only"
  fi
  no_temp "$lib/out" "$lib: normal"

  # Past 260 characters: the entry fails, the short one beside it lands.
  pack "$lib" "$lib/l.$lib" long ok.txt "$rel"
  mkdir -p "$lib/lout"
  log=$(unpack "$lib" "$lib/l.$lib" "$lib/lout")
  failed "$log" "c.txt" "$lib: long path"
  [ "$(cat "$lib/lout/ok.txt" 2>/dev/null)" = ok ] || fail "$lib: long path: the short entry is missing: $log"
  [ -z "$(find "$lib/lout" -name c.txt)" ] || fail "$lib: long path: c.txt written somewhere"
  no_temp "$lib/lout" "$lib: long path"

  # A read-only old file that another program holds open cannot be
  # replaced even once its attribute is cleared: it must keep that attribute.
  mkdir -p "$lib/busy"
  old_file "$lib/busy"
  $WINE_RUN cmd.exe /c "$(W "$BIN/uiprobe.exe") wait TovixNoSuchWindow 8000 < $(W "$lib/busy/a.txt")" \
    </dev/null >/dev/null 2>&1 &
  wait_until 20 "the holder opens a.txt" fuser -s "$lib/busy/a.txt"
  log=$(unpack "$lib" "$a" "$lib/busy" ask)
  failed "$log" "a.txt" "$lib: held old file"
  old_same "$lib/busy" "$lib: held old file"
  no_temp "$lib/busy" "$lib: held old file"

  [ $can_mount = 1 ] || continue
  # A read-only folder with a read-only old file: both entries fail.
  mkdir -p "$lib/ro"
  mount -t tmpfs -o size=1m tmpfs "$lib/ro"
  old_file "$lib/ro"
  mount -o remount,ro "$lib/ro"
  log=$(unpack "$lib" "$a" "$lib/ro" ask)
  failed "$log" "b.txt" "$lib: read-only folder"
  [ "$(ls "$lib/ro")" = a.txt ] || fail "$lib: read-only folder: $(ls "$lib/ro")"
  old_same "$lib/ro" "$lib: read-only folder"
  umount "$lib/ro"

  # A full disk: a.txt does not fit, the old one stays; nothing half-written.
  mkdir -p "$lib/full"
  mount -t tmpfs -o size=64k tmpfs "$lib/full"
  old_file "$lib/full"
  log=$(unpack "$lib" "$a" "$lib/full" ask)
  failed "$log" "a.txt" "$lib: full disk"
  old_same "$lib/full" "$lib: full disk"
  no_temp "$lib/full" "$lib: full disk"
  umount "$lib/full"
done
echo ok
