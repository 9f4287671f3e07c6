#!/usr/bin/env bash
# The engine's boxes belong to the main window, which waits while they show:
# the ZIP and RAR progress boxes and the RAR volume prompt, each met in the
# real program, its owners read from outside while it is up; once the boxes
# are gone the main window takes input again.
source "$(dirname "$0")/../browser_edit/ui_common.sh"
cd "$SCRATCH"
mkdir -p src zip vol
printf 'hello\r\n' >src/a.txt
printf 'second\r\n' >src/b.txt
(cd src && zip -q ../zip/a.zip a.txt b.txt)
# A set of three volumes whose second is missing: the extraction asks for
# it. A program, for the test-run command (offered for programs only).
head -c 120000 "$BIN/unrar.dll" >src/big.bin
(cd src && timeout 60 $WINE_RUN "$BIN/mkrar.exe" -5 -v 50000 "$(winpath ../vol/v.part1.rar)" big.exe=big.bin >/dev/null)
rm vol/v.part2.rar
# The ZIP box shows while the library works: a recording zip32.dll holds
# its run until the test has looked.
mkdir prog
cp "$BIN/tovix.exe" "$BIN"/*.dll prog/
cp "$BIN/recorder/zip32.dll" prog/
export REC_zip32_HOLD
REC_zip32_HOLD=$(winpath "$SCRATCH/zip-done")

# pick ROW: the row clicked in the file list, which then has the focus (the
# delete command deletes rows, not the archive).
pick() {
  winrun "$BIN/lvclick.exe" TVantrelbyHalvek "$1" >/dev/null || fail "click row $1"
  wait_until 10 "row $1 selected" row_selected
}
row_selected() { grep -q '^\*' <<<"$(probe wait TVantrelbyHalvek list)"; }
main_enabled() { [ "$(probe wait TVantrelbyHalvek enabled)" = "enabled: yes" ]; }

# WHAT | ARCHIVE | ROW CLICKED | THE STEPS THAT BRING THE BOXES | BOX=ITS OWNERS;... | THE STEPS THAT END THEM
while IFS='|' read -r -u 3 what arc row steps boxes release; do
  start_tovix "$SCRATCH/prog/tovix.exe" "$(winpath "$arc")"
  pick "$row"
  args=()
  IFS=';' read -ra pairs <<<"$boxes"
  for p in "${pairs[@]}"; do args+=(dialog "${p%%=*}" 30000 owner); done
  # shellcheck disable=SC2086  # the steps are words
  out=$(probe wait TVantrelbyHalvek $steps "${args[@]}" $release 2>&1) || fail "$what: $out"
  for p in "${pairs[@]}"; do expect_line "$out" "owner: ${p#*=}" "$what: ${p%%=*}"; done
  probe waitgone TTovixEngineBox 20000 >/dev/null || fail "$what: a box stays"
  wait_until 20 "$what: the main window enabled again" main_enabled
  stop_tovix
done 3<<EOF2
ZIP progress box|zip/a.zip|0|command 削除(D) answer はい(Y)|ZIP 書庫の操作=TVantrelbyHalvek disabled|touch $REC_zip32_HOLD
RAR progress box and volume prompt|vol/v.part1.rar|0|command テスト実行(T)|Rar 書庫の解凍=TVantrelbyHalvek disabled;Error=TTovixEngineBox disabled > TVantrelbyHalvek disabled|answer キャンセル
EOF2
echo ok
