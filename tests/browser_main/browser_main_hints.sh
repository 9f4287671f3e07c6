#!/usr/bin/env bash
# The real program under Wine: a highlighted menu item's hint on the status
# bar and the panels back when the menu closes; F1 on a dialog's control asks
# help for that control's context (a help viewer stand-in takes the request).
source "$(dirname "$0")/common.sh"
regclear
trap 'probe find TExtDlg close >/dev/null 2>&1 || true; probe find TVantrelbyHalvek close >/dev/null 2>&1 || true; regclear' EXIT
# Headless runs show no modal dialog; this one needs the real one.

start_tovix
# Alt+E opens 編集 with its first item highlighted; Down moves on; two Esc
# close the drop-down and leave the menu bar. The pointer goes to the corner
# first: an earlier test may have left it where the drop-down opens. Each
# taken waits until the window's thread has handled what was posted before.
out=$(probe wait TVantrelbyHalvek 30000 cursor 0 0 simple menu-key e taken simple post-key 40 taken simple \
        post-key 27 post-key 27 taken simple status | tr -d '\r')
diff <(cat <<<"$out") - <<'HINTS' || fail "menu hints differ"
simple: off
simple: 選択されたオブジェクトを解凍します。
simple: 選択されたオブジェクトを圧縮します。
simple: off
status[0]: 0 Files (0 Byte)
status[1]:  [0 Files (0 Byte)]
HINTS
# The file list's popup: the highlighted item's hint shows, and its close
# brings the panels back.
out=$(probe wait TVantrelbyHalvek context SysListView32 taken post-key 40 taken simple \
        post-key 27 taken simple | tr -d '\r')
diff <(cat <<<"$out") - <<'HINTS' || fail "popup hints differ"
simple: 選択されたオブジェクトを解凍します。
simple: off
HINTS

# The extension dialog: Edit1 7, Edit2 136, Edit3 137, ListBox2 142; the
# program's help file beside the program.
probe wait TVantrelbyHalvek command "拡張子設定(E)..." >/dev/null || fail "no extension command"
hlp="$(winpath "$BIN")\\tovix.hlp"
out=$(probe wait TExtDlg 10000 f1 Edit 0 f1 Edit 1 f1 Edit 2 f1 ListBox 1 | tr -d '\r')
diff <(cat <<<"$out") - <<HELP || fail "help requests differ"
help: 1 7 $hlp
help: 1 136 $hlp
help: 1 137 $hlp
help: 1 142 $hlp
HELP
# ListBox1 has no context, nor has its page: no help is asked.
out=$(probe wait TExtDlg 1000 f1 ListBox 0 | tr -d '\r') && fail "help asked without a context: $out"
expect_text "$out" "error: no help request" "no context"
probe wait TExtDlg close >/dev/null
probe wait TVantrelbyHalvek close wait-exit 20000 >/dev/null || fail "window did not close"
echo ok
