#!/usr/bin/env bash
# Every dialog and message box of the program and of the setup program, shown
# by the real programs with no answers given: opened as a user opens them,
# checked by uiprobe (owner disabled, the focus on the first input control,
# on the screen, every text whole, no literal "&"), and closed through their
# controls. All faults are gathered, then reported together.
source "$TOOLS/lib.sh"
unset TOVIX_ANSWERS TOVIX_TRACE TOVIX_SETTINGS_KEY
export TOVIX_PREFIX="$SCRATCH/prefix" WINEPREFIX="$SCRATCH/prefix"
winrun cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
wineserver -p 2>/dev/null || true
trap 'probe find TVantrelbyHalvek close wait-exit 20000 >/dev/null 2>&1 || true; wineserver -k 2>/dev/null || true' EXIT
probe() { winrun "$BIN/uiprobe.exe" "$@" | tr -d '\r'; }
KEY='HKCU\software\halvek\Tovix'
regset() { winrun reg add "$KEY\\$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }

FAULTS=""
# check WHAT PROBE-ARGS...: runs the probe from the main window on (the
# commands hold one or more "check") and keeps every fault and failure.
check() {
  local what=$1 out
  shift
  if ! out=$(probe wait TVantrelbyHalvek 30000 "$@"); then
    FAULTS+="$what:"$'\n'"$(grep -v '^check:' <<<"$out")"$'\n'
  fi
  grep -E '^(check|fault):' <<<"$out" || true
}
main() { probe wait TVantrelbyHalvek 30000 "$@"; }

cd "$SCRATCH"
mkdir -p src out
printf 'hello\r\n' >src/a.txt
printf 'second\r\n' >src/b.txt
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

check find command "検索(F)..." dialog TFindDlg check keys abc focus click "終了(P)"
check toolbar command "ツールバーの編集(C)..." dialog TToolDlg check click キャンセル
check extensions command "拡張子設定(E)..." dialog TExtDlg check tab 1 sleep 100 check texts click キャンセル
check properties command "プロパティ(R)..." dialog TPropDlg check click キャンセル
check "setting-file editor" command "\$設定ファイル作成(I)..." dialog TDoruDlg check click キャンセル
check "result log" command "書庫の検査(T)" dialog TDispDlg check click OK
check "message box" select-rows 0 command "削除(D)" dialog "#32770" check click "いいえ(N)"
stop

# The RAR password box, after the extraction's folder picker: typing reaches
# its field.
start "$(winpath locked.rar)"
check "rar folder picker" select-rows 0 command "解凍(U)..." dialog "#32770" check click OK
check "rar password box" dialog TTovixEngineBox check keys x click キャンセル
probe wait TVantrelbyHalvek dialog TDispDlg 5000 click OK >/dev/null 2>&1 || true
stop

[ -z "$FAULTS" ] || fail "dialog faults:
$FAULTS"
