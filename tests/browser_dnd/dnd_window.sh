#!/usr/bin/env bash
# Real drags out of the real main window (browser_dnd_window_test), over an
# archive made by zip, compared with its source tree.
source "$TOOLS/lib.sh"
src="$SCRATCH/src"
mkdir -p "$src/docs/img"
printf 'hello\r\n' >"$src/a.txt"
seq 1 3000 >"$src/docs/b.txt"
head -c 20000 /dev/urandom >"$src/docs/img/c.bin"
(cd "$src" && zip -qr "$SCRATCH/arc.zip" a.txt docs)
DND_DIR=$(winpath "$SCRATCH") winrun "$BIN/browser_dnd_window_test.exe" --gtest_brief=1
