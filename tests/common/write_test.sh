#!/usr/bin/env bash
# Every library that writes archives, under Wine, where the disk says no:
# adding to an archive on a full file system, deleting from one there (the
# deletion writes the archive anew), adding to a read-only archive, adding
# to an archive in a read-only folder, and packing a new archive whose path
# is past 260 characters. Each must answer an error with a line saying why,
# leave the old archive as it was (bytes, attributes, time) and leave no
# temporary file. And one that goes well: an addition to a hidden archive
# leaves it hidden.
source "$TOOLS/archiver_test.sh"
ad() { arcdrv "$@" 2>/dev/null | tr -d '\r' | iconv -f CP932 -t UTF-8; }
# zip32.dll has the option-record entries: its log, then rc=N; turned round
# into the other drivers' "rc=N" first.
zipdo() {
  local out
  out=$($WINE_RUN "$BIN/wizdrv.exe" "$(W "$BIN/zip32.dll")" zip "$@" 2>/dev/null | tr -d '\r')
  printf '%s\n%s\n' "$(grep '^rc=' <<<"$out" | tail -1)" "$(grep -v '^rc=' <<<"$out")"
}

# add LIB ARCHIVE NAME... : the names from src into the archive (tar writes
# the archive anew from them).
add() {
  local lib=$1 arc=$(W "$2") base=$(W src)
  shift 2
  local names=$(printf ' "%s"' "$@")
  case $lib in
    lha) ad unlha32.dll Unlha cmd "a -n \"$arc\" \"$base\\\"$names" ;;
    zip) zipdo "$arc" "$base" 6 "$@" ;;
    tar) ad tar32.dll Tar cmd "--display-dialog=0 -c \"$arc\" \"$base\\\"$names" ;;
    tgz) ad tar32.dll Tar cmd "--display-dialog=0 -c -z6 \"$arc\" \"$base\\\"$names" ;;
    cab) ad cab32.dll Cab cmd "-a \"$arc\" \"$base\\\"$names" ;;
    gza | bza) ad bga32.dll Bga cmd "a \"$arc\" \"$base\\\"$names" ;;
  esac
}
# del LIB ARCHIVE NAME : "-" where the library does not delete.
del() {
  case $1 in
    lha) ad unlha32.dll Unlha cmd "d \"$(W "$2")\" \"$3\"" ;;
    zip) zipdo "$(W "$2")" "" x "$3" ;;
    gza | bza) ad bga32.dll Bga cmd "d \"$(W "$2")\" \"$3\"" ;;
    *) echo - ;;
  esac
}

# refused LOG REASON WHAT: an error answered and a line giving the reason.
refused() {
  [ "$(rc_of "$1")" != 0 ] || fail "$3: answered success: $1"
  sed 1d <<<"$1" | gq -F -- "$2" || fail "$3: no line saying \"$2\": $1"
}
# The Windows attribute letters of a file ("A   H").
attrs() { $WINE_RUN cmd.exe /c attrib "$(W "$1")" 2>/dev/null | tr -d '\r' | cut -c1-12; }
no_temp() { [ -z "$(find "$1" -name '*$t*' 2>/dev/null)" ] || fail "$2: temporary file left: $(find "$1" -name '*$t*')"; }
# keep ARCHIVE: a time of its own, and a copy to compare with (off the
# small disks).
kept() { echo "$SCRATCH/kept/${1//\//_}"; }
keep() {
  mkdir -p "$SCRATCH/kept"
  touch -d '1999-09-09 09:09:08' "$1"
  cp "$1" "$(kept "$1")"
  stat -c '%A %Y' "$1" >"$(kept "$1").was"
}
same() {
  cmp -s "$1" "$(kept "$1")" || fail "$2: the archive's bytes changed"
  [ "$(stat -c '%A %Y' "$1")" = "$(cat "$(kept "$1").was")" ] ||
    fail "$2: the archive's attributes or time changed: $(stat -c '%A %y' "$1"), was $(cat "$(kept "$1").was")"
}

# The fixture: a.txt, c.bin (40 KB of noise, so that even the archive less
# a.txt needs more than a full disk has) and big.bin (more than the small
# disk holds).
mkdir -p src
echo alpha > src/a.txt
head -c 40000 /dev/urandom > src/c.bin
head -c 150000 /dev/urandom > src/big.bin
deep=$(printf 'd123456789/%.0s' $(seq 22))
mkdir -p "long/$deep"

can_mount=0
mkdir -p probe && mount -t tmpfs -o size=64k tmpfs probe 2>/dev/null && umount probe && can_mount=1
[ $can_mount = 1 ] || echo "note: no tmpfs here, the full-disk and read-only folder cases are left out"
cleanup() { for m in "$SCRATCH"/*/full "$SCRATCH"/*/rof; do mountpoint -q "$m" 2>/dev/null && umount "$m"; done; true; }
trap cleanup EXIT

for lib in lha zip tar tgz cab gza bza; do
  ext=$([ $lib = lha ] && echo lzh || echo $lib)
  mkdir -p "$lib"
  m=$lib/m.$ext
  log=$(add $lib "$m" a.txt c.bin)
  expect_rc 0 "$log"

  # Hidden, and written: the new archive in its place is hidden too.
  cp "$m" "$lib/hid.$ext"
  $WINE_RUN cmd.exe /c attrib +h "$(W "$lib/hid.$ext")" >/dev/null 2>&1
  log=$(add $lib "$lib/hid.$ext" big.bin)
  expect_rc 0 "$log"
  (($(stat -c %s "$lib/hid.$ext") > 150000)) || fail "$lib: hidden archive: big.bin not added: $log"
  attrs "$lib/hid.$ext" | gq H || fail "$lib: hidden archive: no longer hidden: $(attrs "$lib/hid.$ext")"
  no_temp "$lib" "$lib: hidden archive"

  # Read-only archive: refused before anything is written.
  cp "$m" "$lib/ro.$ext"
  chmod a-w "$lib/ro.$ext"
  keep "$lib/ro.$ext"
  log=$(add $lib "$lib/ro.$ext" a.txt c.bin big.bin)
  refused "$log" "read-only" "$lib: read-only archive"
  same "$lib/ro.$ext" "$lib: read-only archive"
  no_temp "$lib" "$lib: read-only archive"

  # A new archive past 260 characters: nothing made there.
  log=$(add $lib "long/$deep/n.$ext" a.txt)
  refused "$log" "path too long" "$lib: long path"
  [ -z "$(ls -A "long/$deep")" ] || fail "$lib: long path: left $(ls -A "long/$deep")"

  [ $can_mount = 1 ] || continue
  # A full disk: neither the addition nor the deletion fits.
  mkdir -p "$lib/full"
  mount -t tmpfs -o size=64k tmpfs "$lib/full"
  a=$lib/full/m.$ext
  cp "$m" "$a"
  dd if=/dev/zero of="$lib/full/filler" bs=4k 2>/dev/null || true
  keep "$a"
  log=$(add $lib "$a" a.txt c.bin big.bin)
  refused "$log" "disk full" "$lib: adding on a full disk"
  same "$a" "$lib: adding on a full disk"
  log=$(del $lib "$a" a.txt)
  if [ "$log" != - ]; then
    refused "$log" "disk full" "$lib: deleting on a full disk"
    same "$a" "$lib: deleting on a full disk"
  fi
  no_temp "$lib/full" "$lib: full disk"
  umount "$lib/full"

  # A read-only folder: the work file cannot be made.
  mkdir -p "$lib/rof"
  mount -t tmpfs -o size=1m tmpfs "$lib/rof"
  a=$lib/rof/m.$ext
  cp "$m" "$a"
  keep "$a"
  mount -o remount,ro "$lib/rof"
  log=$(add $lib "$a" a.txt c.bin big.bin)
  refused "$log" "access denied" "$lib: read-only folder"
  same "$a" "$lib: read-only folder"
  no_temp "$lib/rof" "$lib: read-only folder"
  umount "$lib/rof"
done
echo ok
