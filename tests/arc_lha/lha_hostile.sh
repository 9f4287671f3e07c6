#!/bin/bash
# Hostile archives: every one is refused or reported with a log line and a
# nonzero answer, nothing lands outside the chosen folder, nothing hangs.
source "$TOOLS/archiver_test.sh"
H=$SCRATCH/fixtures; mkdir -p "$H"
winrun "$BIN/lha_mkhostile.exe" "$(winpath "$H")"
prefix=$(awk '{print $3}' <<<"$WINE_RUN")/wineprefix
[ -n "${TOVIX_PREFIX:-}" ] && prefix=$TOVIX_PREFIX
find "$prefix/drive_c" -maxdepth 2 -name 'evil*' -delete 2>/dev/null || true

# archive | switches | answer (0 = must succeed, 1 = must fail) | word the log must hold
cases=(
  "dotdot.lzh||1|unsafe path"
  "absolute.lzh||1|unsafe path"
  "absolute.lzh|-jf0|0|evil2.txt"
  "drive.lzh||1|unsafe path"
  "drive.lzh|-jf0|0|evil3.txt"
  "level0.lzh||1|unsafe path"
  "link.lzh||0|(link)"
  "device.lzh||1|unsafe path"
  "truncated.lzh||1|cut.txt"
  "headercut.lzh||1|Broken archive"
  "badcrc.lzh||1|CRC error : badcrc.txt"
  "huge.lzh||1|huge.txt"
  "loop.lzh||1|Broken archive"
  "junk.lzh||1|Broken archive"
)
n=0
for c in "${cases[@]}"; do
  IFS='|' read -r arc sw mustFail word <<<"$c"
  n=$((n + 1))
  box=$SCRATCH/case$n; out=$box/out/deep; mkdir -p "$out"
  log=$(timeout 60 $WINE_RUN "$BIN/arcdrv.exe" "$(winpath "$BIN/unlha32.dll")" Unlha cmd "x -c1 -y -a1 $sw \"$(winpath "$H/$arc")\" \"$(winpath "$out")\\\"") \
    || fail "$arc: the driver crashed"
  log=${log//$'\r'/}; rc=$(head -1 <<<"$log" | sed "s/rc=//")
  if [ "$mustFail" = 1 ]; then [ "$rc" != 0 ] || fail "$arc $sw: answered 0: $log"; else [ "$rc" = 0 ] || fail "$arc $sw: answered $rc: $log"; fi
  grep -qF -- "$word" <<<"$log" || fail "$arc $sw: log lacks '$word': $log"
  # Nothing beside the chosen folder, no work files left behind.
  [ -z "$(find "$box" -mindepth 1 -not -path "$box/out" -not -path "$box/out/deep" -not -path "$box/out/deep/*")" ] \
    || fail "$arc $sw: wrote outside the folder: $(find "$box")"
  [ -z "$(find "$out" -name '*.$t*')" ] || fail "$arc $sw: left a work file"
  [ "$(cat "$out/good.txt" 2>/dev/null)" = $'hello\r' ] || fail "$arc $sw: the sound entry was not extracted"
  # Listing and testing the same bytes must not crash either.
  arcdrv unlha32.dll Unlha list "$(winpath "$H/$arc")" >/dev/null 2>&1 || fail "$arc: listing crashed"
  t=$(arcdrv unlha32.dll Unlha cmd "t \"$(winpath "$H/$arc")\"" | tr -d "\r")
  case $arc in dotdot*|absolute*|drive*|level0*|link*|device*) ;; *) [ "$(head -1 <<<"$t")" != rc=0 ] || fail "$arc: test passed";; esac
done
for f in cut.txt badcrc.txt huge.txt; do
  [ -z "$(find "$SCRATCH" -name "$f")" ] || fail "a damaged entry $f was left on disk"
done
[ -z "$(find "$prefix/drive_c" -maxdepth 2 -name 'evil*' 2>/dev/null)" ] || fail "wrote to the drive root"
echo "hostile archives: $n cases refused or reported"
