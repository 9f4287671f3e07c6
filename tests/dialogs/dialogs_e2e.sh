#!/usr/bin/env bash
# Every dialog and message box of the program and of the setup program, shown
# by the real programs with no answers given: opened as a user opens them,
# checked by uiprobe (owner disabled, the focus on the first input control,
# on the screen, every text whole, no literal "&"), and closed through their
# controls. All faults are gathered, then reported together.
source "$TOOLS/lib.sh"
source "$TOOLS/picker.sh"
export TOVIX_PREFIX="$SCRATCH/prefix" WINEPREFIX="$SCRATCH/prefix"
winrun cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
wineserver -p 2>/dev/null || true
trap 'probe find TVantrelbyHalvek close wait-exit 20000 >/dev/null 2>&1 || true; wineserver -k 2>/dev/null || true' EXIT
KEY='HKCU\software\halvek\Tovix'
regset() { winrun reg add "$KEY\\$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }

FAULTS=""
# check WHAT PROBE-ARGS...: runs the probe from the main window ($TOP) on
# (the commands hold one or more "check") and keeps every fault and failure.
TOP=TVantrelbyHalvek
check() {
  local what=$1 out
  shift
  if ! out=$(probe wait "$TOP" 30000 "$@"); then
    FAULTS+="$what:"$'\n'"$(grep -v '^check:' <<<"$out")"$'\n'
  fi
  grep -E '^(check|fault):' <<<"$out" || true
}
main() { probe wait TVantrelbyHalvek 30000 "$@"; }
# proposed WHAT PATH: the folder picker shows its proposal, the folder PATH
# (a fault when it does not), and is answered with OK.
proposed() {
  local out
  out=$( (picker_shows "$2") 2>&1) || FAULTS+="$1: $out"$'\n'
  picker_ok
}

# The files in the prefix's own C: drive, where the folder picker's walk to
# its proposal meets no other test's folders.
WORK="$WINEPREFIX/drive_c/work"
mkdir -p "$WORK"
cd "$WORK"
mkdir -p src out
printf 'hello\r\n' >src/a.txt
printf 'second\r\n' >src/b.txt
mkdir zipdir
(cd src && zip -q -P secret ../zipdir/locked.zip a.txt)
(cd src && jlha a ../sample.lzh a.txt b.txt >/dev/null 2>&1)
timeout 60 $WINE_RUN "$BIN/mkrar.exe" -4 locked.rar '!e:secret.txt=src/a.txt' >/dev/null
# "$" is offered for LHA archives once the WinSFX32M style is chosen.
regset Pack AutoStyle 2
regset UnPack OpenFolder 0

start() { winrun "$BIN/tovix.exe" "$@" >/dev/null 2>&1 & main >/dev/null || fail "no main window"; }
stop() { main close wait-exit 20000 >/dev/null || fail "the program did not end"; }

start "$(winpath sample.lzh)"
check about command "バージョン情報(A)..." dialog TAboutBox check vk enter
probe waitgone TAboutBox 5000 >/dev/null || FAULTS+="about: does not close on a key"$'\n'

# The options dialog, page by page, and the folder picker of its folder page.
pages=(画面 表示 フォルダ 解凍 圧縮 圧縮/LHA 圧縮/ZIP/TAR 圧縮/CAB その他)
args=(command "オプション(O)..." dialog TOptionDlg)
for pg in "${pages[@]}"; do args+=(select-node "$pg" sleep 100 check); done
check options "${args[@]}" select-node フォルダ click "参照(B)..."
check "options folder picker" dialog TOptionDlg dialog "#32770" check click キャンセル
check "options cancel" dialog TOptionDlg click キャンセル

check find command "検索(F)..." dialog TFindDlg check
# The labels' access keys move the focus to the field after them.
keys=$(probe wait TVantrelbyHalvek dialog TFindDlg alt l sleep 300 focus alt n sleep 300 focus click "終了(P)")
[ "$(grep -c '^focus: Edit id=0 $' <<<"$keys")" = 1 ] && grep -q '^focus: Edit id=1001' <<<"$keys" ||
  FAULTS+="find: access keys of the labels:"$'\n'"$keys"$'\n'

check toolbar command "ツールバーの編集(C)..." dialog TToolDlg check click キャンセル
check extensions command "拡張子設定(E)..." dialog TExtDlg check tab 1 sleep 100 check texts click キャンセル
check properties command "プロパティ(R)..." dialog TPropDlg check click キャンセル
# A year that is no number: leaving the field brings no box; OK brings one,
# once, and the dialog stays with the focus in the year; the next OK leaves.
out=$(probe wait TVantrelbyHalvek command "プロパティ(R)..." dialog TPropDlg tick "作成日時 :" 1 sleep 200 \
  into 0 type 0 y vk tab sleep 500 click OK sleep 500 answer OK sleep 1000 focus keys 1999 sleep 300 focus 2>&1)
boxes=$(grep -c '^msgbox:' <<<"$out")
{ [ "$boxes" = 1 ] && grep -q "^msgbox:.*'y' は整数値ではありません" <<<"$out" &&
  grep -q '^focus: Edit id=0 [0-9]' <<<"$out" && grep -q '^focus: Edit id=0 1999$' <<<"$out" &&
  probe find "#32770" | grep -q none; } ||
  FAULTS+="properties: a bad year ($boxes boxes):"$'\n'"$out"$'\n'
probe wait TVantrelbyHalvek dialog TPropDlg click OK waitgone TPropDlg 5000 >/dev/null ||
  FAULTS+="properties: does not close on OK after a bad year"$'\n'
# After a message box the focus is back on the control that had it, not on
# the form: the button that brought the box.
out=$(probe wait TVantrelbyHalvek command "検索(F)..." dialog TFindDlg type 0 "" click "検索開始(I)" sleep 500 \
  answer OK sleep 500 dialog TFindDlg focus click "終了(P)" 2>&1)
grep -q '^msgbox:.*検索条件を設定してください' <<<"$out" && grep -q '^focus: Button id=[0-9]* 検索開始(&I)$' <<<"$out" ||
  FAULTS+="find: the focus after the message box:"$'\n'"$out"$'\n'
check "result log" command "書庫の検査(T)" dialog TDispDlg check click OK
check "message box" select-rows 0 command "削除(D)" dialog "#32770" check click "いいえ(N)"
# The setting-file editor, then its folder dialog (cancelled: the file goes
# in through the temporary folder).
# An extraction's picker first: its check boxes must not stay for the next.
check "extraction picker" select-rows 0 command "解凍(U)..." dialog "#32770" click キャンセル
probe waitgone "#32770" 5000 >/dev/null || true
check "setting-file editor" command "\$設定ファイル作成(I)..." dialog TDoruDlg check click Windowタイトル click OK
out=$(probe wait TVantrelbyHalvek dialog "#32770" 10000 controls check click キャンセル 2>&1)
grep -E '^(check|fault):' <<<"$out" || true
# No visible button without a caption (a check box left with no text).
! grep -qE '^Button id=[0-9]*( \[(checked|focus)\])* $' <<<"$out" && grep -q '^check:.* ok' <<<"$out" ||
  FAULTS+="setting-file folder:"$'\n'"$out"$'\n'
probe wait TVantrelbyHalvek dialog TDispDlg 20000 click OK >/dev/null 2>&1 || true
stop

# The password boxes: typed into the field that has the focus, taken with
# Enter. The engine's own asks for Info-ZIP's kind of unzip32.dll (the
# program beside that library), the library of the other kind asks itself.
mkdir iz
cp "$BIN/tovix.exe" "$BIN"/*.dll iz/
cp "$BIN/infozip/unzip32.dll" iz/
for exe in iz/tovix.exe "$BIN/tovix.exe"; do
  # Extracted next to the archive, the folder the picker proposes.
  find zipdir -mindepth 1 ! -name locked.zip -delete
  winrun "$exe" "$(winpath zipdir/locked.zip)" >/dev/null 2>&1 &
  probe wait TVantrelbyHalvek 30000 >/dev/null || fail "no main window"
  check "zip folder picker ($exe)" select-rows 0 command "解凍(U)..." dialog "#32770" check
  proposed "zip folder picker ($exe)" "$WORK/zipdir"
  # By its caption: the engine's progress box of the same class comes first.
  check "zip password box ($exe)" dialog "パスワードの入力" 20000 check keys secret vk enter
  probe wait TVantrelbyHalvek dialog TDispDlg 20000 click OK >/dev/null || true
  got=$(find zipdir -name a.txt | head -n1)
  { [ -n "$got" ] && cmp -s "$got" src/a.txt; } ||
    FAULTS+="zip password box ($exe): the typed password did not extract a.txt"$'\n'
  stop
done

# The RAR password box, after the extraction's folder picker.
start "$(winpath locked.rar)"
check "rar folder picker" select-rows 0 command "解凍(U)..." dialog "#32770" check
proposed "rar folder picker" "$WORK"
check "rar password box" dialog "Rar書庫の解凍" check keys x click キャンセル
probe wait TVantrelbyHalvek dialog TDispDlg 5000 click OK >/dev/null 2>&1 || true
stop

# The setup program: the readme, the install folder with its folder browser,
# the shortcuts, the shell integration and the closing message; then the
# uninstall's question.
mkdir pkg
cp "$BIN/TovixSetup.exe" "$BIN/tovix.exe" "$BIN/Lateclear.exe" "$BIN/tovix.txt" pkg/
cp "$BIN/setup-test/setup_fakeext.dll" pkg/tovix.dll
cp "$BIN/setup-test/setup_fakeext.dll" pkg/tovixu.dll
# Shortcuts must not reach the host's menus.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
(cd pkg && winrun TovixSetup.exe >/dev/null 2>&1) &
TOP=TForm1
check "setup readme" dialog TViewDlg 30000 check click 次へ
check "setup folder" dialog TSetDirDlg 10000 check click 検索...
check "setup folder browser" dialog TSetDirDlg dialog "#32770" check click キャンセル
check "setup folder typed" dialog TSetDirDlg type 0 'C:\Tovix' click 次へ
check "setup shortcuts" dialog TScutDlg 30000 check click 次へ
check "setup shell" dialog TExeDlg 30000 check click 次へ
check "setup done" dialog "#32770" 30000 check click OK
probe waitgone TForm1 20000 >/dev/null || FAULTS+="setup: did not end"$'\n'
[ -f "$WINEPREFIX/drive_c/Tovix/tovix.exe" ] || FAULTS+="setup: nothing installed"$'\n'
(cd pkg && winrun TovixSetup.exe /r >/dev/null 2>&1) &
# (check waits for the question to come.)
TOP="#32770"
check "uninstall question" check click キャンセル
probe waitgone "#32770" 20000 >/dev/null || FAULTS+="uninstall question: did not close"$'\n'

[ -z "$FAULTS" ] || fail "dialog faults:
$FAULTS"
