#!/usr/bin/env bash
# The options dialog from the real program: OK stores exactly the values
# changed through its controls (check boxes, radio groups, track bars,
# edits, the sample's font and colour) and tells the other instances;
# cancel stores nothing and tells no one. Then the themed controls with
# Wine's own visual style switched on.
source "$TOOLS/lib.sh"
export WINEPREFIX="$SCRATCH/prefix"
SETTINGS_KEY='software\halvek\Tovix'
winrun cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
wineserver -p 2>/dev/null || true
trap 'probe find TVantrelbyHalvek close wait-exit 20000 >/dev/null 2>&1 || true; wineserver -k 2>/dev/null || true' EXIT
probe() { winrun "$BIN/uiprobe.exe" "$@" | tr -d '\r'; }
regset() { winrun reg add "HKCU\\$SETTINGS_KEY\\$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }
regget() {
  winrun reg query "HKCU\\$SETTINGS_KEY\\$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v v="$2" '$1 == v { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}
# Every value of the store as "Section\Value=data", sorted.
dump() {
  winrun reg query "HKCU\\$SETTINGS_KEY" /s 2>/dev/null | iconv -f CP932 -t UTF-8 | tr -d '\r' | awk '
    /^HKEY/ { n = split($0, p, "\\"); sec = p[n]; next }
    $2 == "REG_SZ" { name = $1; $1 = ""; $2 = ""; sub(/^ +/, ""); print sec "\\" name "=" $0 }' | sort
}
seed() {
  winrun reg delete "HKCU\\$SETTINGS_KEY" /f >/dev/null 2>&1 || true
  regset UnPack MakeFolder 0
  regset UnPack DelFolderNum 1
  regset UnPack UnPackFolder 0
  regset UnPack FileNoFolder 1
  regset Pack PackStyle 5
  regset Pack AutoStyle 1
  regset Pack Zip 6
  regset List ViewProg notepad
  regset Other 2Err 0
}
# run NAME ANSWERS: opens the options on the seeded store, answers them and
# leaves the store as the dialog left it (dump in $SCRATCH/NAME.after) plus
# what a listening window got in $SCRATCH/NAME.bcast.
run() {
  local name=$1 trace="$SCRATCH/$1.trace"
  seed
  : >"$trace"
  TOVIX_ANSWERS="$2" TOVIX_TRACE=$(winpath "$trace") winrun "$BIN/tovix.exe" >/dev/null 2>&1 &
  probe wait TVantrelbyHalvek 60000 >/dev/null || fail "$name: no main window"
  dump >"$SCRATCH/$name.before"
  winrun "$BIN/bcastwait.exe" wm_tovix_changeoption 8000 >"$SCRATCH/$name.bcast" 2>/dev/null &
  local waiter=$!
  for _ in $(seq 50); do grep -q ready "$SCRATCH/$name.bcast" 2>/dev/null && break; sleep 0.1; done
  probe wait TVantrelbyHalvek command "オプション(O)..." >/dev/null || fail "$name: no options command"
  for _ in $(seq 100); do grep -q '^options: \(saved\|cancelled\)' "$trace" && break; sleep 0.1; done
  dump >"$SCRATCH/$name.after"
  probe wait TVantrelbyHalvek menu "新規起動(Z)" menu "フォルダ(F)..." >"$SCRATCH/$name.menu"
  wait "$waiter" || true
  tr -d '\r' <"$SCRATCH/$name.bcast" >"$SCRATCH/$name.bcast.txt"
  probe find TVantrelbyHalvek close wait-exit 20000 >/dev/null || fail "$name: did not close"
  wait
}

# OK with nothing changed: every setting is written once as it was read.
run same "options=ok"
grep -q '^options: saved' "$SCRATCH/same.trace" || fail "same: not saved: $(cat "$SCRATCH/same.trace")"
grep -qx 'got TVantrelbyHalvek lparam 0' "$SCRATCH/same.bcast.txt" ||
  fail "same: broadcast not seen: $(cat "$SCRATCH/same.bcast.txt")"
[ "$(grep -c '^UnPack\\DelFolderNum=1$' "$SCRATCH/same.after")" = 1 ] || fail "same: store lacks the seeded values"

# OK after changes of every kind: exactly those values differ from the run above.
answers="options=ok;options:press=Button1,Button2;dialog:FontDialog1=ＭＳ ゴシック,12,1;dialog:ColorDialog1=\$00E0FFFF"
answers+=";opt:UnPack\\MakeFolder=1;opt:UnPack\\DelFolderNum=0;opt:UnPack\\FileNoFolder=0"
answers+=";opt:Pack\\PackStyle=7;opt:Pack\\AutoStyle=2;opt:Pack\\CabStyle=1;opt:Pack\\Zip=9;opt:Pack\\CabLevel=18"
answers+=";opt:List\\ViewProg=C:\\tools\\viewer.exe;opt:UnPack\\DefFolder=C:\\展開先;opt:Other\\2Err=1"
answers+=";opt:Pos\\SaveFolder=0;opt:Pack\\TGZ=1;opt:Pack\\Sort=1;opt:Other\\icon=1;opt:Pack\\AddFolder=0"
run changed "$answers"
grep -q '^options: saved' "$SCRATCH/changed.trace" || fail "changed: not saved"
# The extraction folders stay on (file extraction's box is disabled then).
grep -qx 'options: UnPack\\FileNoFolder disabled' "$SCRATCH/changed.trace" ||
  fail "changed: a disabled box was changed: $(cat "$SCRATCH/changed.trace")"
diff <(diff "$SCRATCH/same.after" "$SCRATCH/changed.after" | grep '^>' | sed 's/^> //') - <<'EXPECT' ||
Font\Name=ＭＳ ゴシック
Font\Size=12
Font\Style=1
List\Color=$00E0FFFF
List\ViewProg=C:\tools\viewer.exe
Other\2Err=1
Other\icon=1
Pack\AddFolder=0
Pack\AutoStyle=2
Pack\CabLevel=18
Pack\CabStyle=1
Pack\PackStyle=7
Pack\Sort=1
Pack\TGZ=1
Pack\Zip=9
Pos\SaveFolder=0
UnPack\DefFolder=C:\展開先
UnPack\DelFolderNum=0
UnPack\MakeFolder=1
EXPECT
  fail "changed: the store differs otherwise: $(diff "$SCRATCH/same.after" "$SCRATCH/changed.after")"
diff <(cut -d= -f1 "$SCRATCH/same.after") <(cut -d= -f1 "$SCRATCH/changed.after") || fail "changed: other values"
grep -qx 'got TVantrelbyHalvek lparam 0' "$SCRATCH/changed.bcast.txt" || fail "changed: no broadcast"
# One instance only now: no second start; no new folder without Pack\AddFolder.
[ "$(grep -c 'disabled' "$SCRATCH/same.menu")" = 0 ] || fail "same: $(cat "$SCRATCH/same.menu")"
[ "$(grep -c 'disabled' "$SCRATCH/changed.menu")" = 2 ] || fail "changed: $(cat "$SCRATCH/changed.menu")"

# Cancel after the same changes: the store is as it was and no one is told.
run cancelled "${answers/options=ok/options=cancel}"
grep -q '^options: cancelled' "$SCRATCH/cancelled.trace" || fail "cancelled: $(cat "$SCRATCH/cancelled.trace")"
diff "$SCRATCH/cancelled.before" "$SCRATCH/cancelled.after" || fail "cancel wrote to the store"
grep -qx timeout "$SCRATCH/cancelled.bcast.txt" || fail "cancel broadcast: $(cat "$SCRATCH/cancelled.bcast.txt")"

# Wine's own visual style (on in a new prefix): the themed controls paint
# through it; switched off: every one paints classically.
tm='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'
themes() { winrun reg add "$tm" /v ThemeActive /d "$1" /f >/dev/null 2>&1; }
trap 'themes 1; probe find TVantrelbyHalvek close wait-exit 20000 >/dev/null 2>&1 || true; wineserver -k 2>/dev/null || true' EXIT
for on in 0 1; do
  themes $on
  TOVIX_EXPECT_THEMES=$on winrun "$BIN/browser_options_test.exe" --gtest_brief=1 >"$SCRATCH/themes$on.log" 2>&1 ||
    fail "themes $on: $(cat "$SCRATCH/themes$on.log")"
done
echo ok
