#!/usr/bin/env bash
# Runs one shell test; when it passes, its scratch folder goes (a Wine prefix
# of its own there takes over a gigabyte), when it fails it stays for a look.
script=$1
shift
bash "$script" "$@"
rc=$?
if [ $rc -eq 0 ] && [ -n "${SCRATCH:-}" ] && [ -d "$SCRATCH" ]; then
  for p in "$SCRATCH"/*/; do
    [ -f "$p/system.reg" ] && WINEPREFIX=${p%/} wineserver -k >/dev/null 2>&1
  done
  rm -rf "$SCRATCH"
fi
exit $rc
