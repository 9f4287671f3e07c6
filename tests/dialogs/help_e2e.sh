#!/usr/bin/env bash
# Help from the dialogs' title-bar "?": each dialog opened through the
# program's menus, the "?" clicked and then a control; the help asked (a help
# viewer stand-in takes the request) is that control's own context, as F1
# gives it: its own, else that of the nearest container with one, else none.
# Then the texts of these dialogs and of the setting-file editor, measured
# in the fonts Wine has: each caption fits its control, each list ends on a
# whole row.
source "$TOOLS/lib.sh"
export TOVIX_PREFIX="$SCRATCH/prefix" WINEPREFIX="$SCRATCH/prefix"
winrun cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
wineserver -p 2>/dev/null || true
trap 'probe find TVantrelbyHalvek close wait-exit 20000 >/dev/null 2>&1 || true; wineserver -k 2>/dev/null || true' EXIT
main() { probe wait TVantrelbyHalvek 30000 "$@"; }

cd "$SCRATCH"
# "$" is offered for LHA archives once the WinSFX32M style is chosen.
winrun reg add 'HKCU\software\halvek\Tovix\Pack' /v AutoStyle /d 2 /f >/dev/null 2>&1
printf 'hello\r\n' >a.txt
jlha a sample.lzh a.txt >/dev/null 2>&1
winrun "$BIN/tovix.exe" "$(winpath sample.lzh)" >/dev/null 2>&1 &
main >/dev/null || fail "no main window"
hlp="$(winpath "$BIN")\\tovix.hlp"

# dialog | menu command | button that closes it
dialogs=(
  "TFindDlg|検索(F)...|終了(P)"
  "TExtDlg|拡張子設定(E)...|キャンセル"
  "TOptionDlg|オプション(O)...|キャンセル"
  "TPropDlg|プロパティ(R)...|キャンセル"
  "TToolDlg|ツールバーの編集(C)...|キャンセル"
)
# dialog | steps that show the page | the clicked control: CLASS N (the Nth
# shown one, from 0) | context asked, "none" for no request
cases=(
  "TFindDlg||Edit 0|97"                # name
  "TFindDlg||ComboBox 0|98"            # folder
  "TFindDlg||Button 3|109"             # "Lha": its group box's
  "TFindDlg||SysListView32 0|127"      # results
  "TFindDlg||Button 0|none"            # "参照(B)...": nothing has one
  "TExtDlg||Edit 0|7"
  "TExtDlg||Button 0|27"               # "追加"
  "TExtDlg|tab 1 sleep 200|Edit 0|136"
  "TExtDlg|tab 1 sleep 200|ListBox 0|142"
  "TOptionDlg|select-node 表示 sleep 200|Edit 0|50"      # the view program: its group box's
  "TOptionDlg|select-node 解凍 sleep 200|Button 0|23"
  "TOptionDlg|select-node 解凍 sleep 200|Button 6|110"   # disabled, still answered
  "TOptionDlg|select-node 圧縮/CAB sleep 200|msctls_trackbar32 0|89"
  "TOptionDlg||SysTreeView32 0|none"
  "TPropDlg||Button 0|119"             # "作成日時 :"
  "TPropDlg||Edit 2|126"               # the day
  "TPropDlg||Button 6|125"             # "圧縮", always disabled
  "TToolDlg||ListBox 0|128"
  "TToolDlg||ListBox 1|129"
  "TToolDlg||Button 4|94"              # "初期化(R)"
  "TToolDlg||Button 5|none"            # OK
)
FAULTS=""
for d in "${dialogs[@]}"; do
  IFS='|' read -r dlg open close <<<"$d"
  main command "$open" dialog "$dlg" >/dev/null || { FAULTS+="$dlg: does not open"$'\n'; continue; }
  for c in "${cases[@]}"; do
    IFS='|' read -r cdlg steps control want <<<"$c"
    [ "$cdlg" = "$dlg" ] || continue
    # shellcheck disable=SC2086 # steps and control are words
    out=$(main dialog "$dlg" $steps help-mode $control 2>&1) || true
    got=$(grep -E '^(help|error):' <<<"$out" | tail -n1)
    if [ "$want" = none ]; then
      [ "$got" = "error: no help request" ] || FAULTS+="$dlg $control: asked ${got:-nothing}, expected no help"$'\n'
    else
      [ "$got" = "help: 1 $want $hlp" ] || FAULTS+="$dlg $control: ${got:-nothing}, expected context $want"$'\n'
    fi
  done
  # The help mode has ended: the dialog still closes through its button.
  main dialog "$dlg" click "$close" gone >/dev/null || FAULTS+="$dlg: does not close"$'\n'
done
[ -z "$FAULTS" ] || fail "help from the title bar's \"?\":
$FAULTS"

# menu command | dialog | steps that show the page (its texts measured after
# them) | button that closes it
fits=(
  "\$設定ファイル作成(I)...|TDoruDlg||キャンセル"
  "プロパティ(R)...|TPropDlg||キャンセル"
  "ツールバーの編集(C)...|TToolDlg||キャンセル"
  "拡張子設定(E)...|TExtDlg|fits tab 1 sleep 200|キャンセル"
  "検索(F)...|TFindDlg||終了(P)"
  "オプション(O)...|TOptionDlg|select-node 解凍 sleep 200 fits select-node 圧縮/LHA sleep 200|キャンセル"
)
for f in "${fits[@]}"; do
  IFS='|' read -r open dlg steps close <<<"$f"
  # shellcheck disable=SC2086 # steps are words
  out=$(main command "$open" dialog "$dlg" $steps fits click "$close" gone 2>&1) || true
  grep -q '^fits:' <<<"$out" && ! grep -qE '^(cut|error):' <<<"$out" || FAULTS+="$dlg:"$'\n'"$(grep -E '^(cut|error):' <<<"$out")"$'\n'
done
[ -z "$FAULTS" ] || fail "texts that do not fit:
$FAULTS"
main close wait-exit 20000 >/dev/null || fail "the program did not end"
echo ok
