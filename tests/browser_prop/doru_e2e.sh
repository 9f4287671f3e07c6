#!/usr/bin/env bash
# The self-extractor's setting file "$" in the real program on an LHA
# archive made by jlha, worked through the real editor, folder picker and
# result log: template lines and editing keys, written into the archive
# (read back with lhasa, byte for byte) through the temporary folder or a
# chosen one; loaded again on the next use; Cancel and an unmodified OK
# leave the archive alone.
source "$(dirname "$0")/../browser_edit/ui_common.sh"
# The archive and its folder in the prefix's own C: drive, where the folder
# picker's walk to its proposal meets no other test's folders.
CW="$TOVIX_PREFIX/drive_c/w"
mkdir -p "$CW"
src="$CW/src"
mkdir -p "$src"
printf 'hello\r\n' >"$src/a.txt"
arc="$CW/arc.lzh"
(cd "$src" && jlha a "$arc" a.txt >/dev/null 2>&1)
# The command is offered once the second self-extractor style is chosen.
regset Pack AutoStyle 2
# lines L1 L2 ...: the CP932 file text, every line ending with CR LF.
lines() { local l; for l in "$@"; do sj "$l"; printf '\r\n'; done; }
# dollar: the "$" entry of the archive as lhasa extracts it.
dollar() {
  rm -rf "$SCRATCH/x" && mkdir "$SCRATCH/x"
  (cd "$SCRATCH/x" && lha e "$arc" >/dev/null 2>&1)
  cat "$SCRATCH/x/\$" 2>/dev/null || true
}
# The editor's buttons by their captions; keys as "^K@LINE:COL" typed into
# the text (edit 0) with the caret there. Each key and click is taken before
# the next step sets the caret (sent, it would overtake them).
declare -A BTN=([WinTitlerBtn]=Windowタイトル [UnPackTitleBtn]=展開先タイトル [UnPackInitialValBtn]=展開先初期値
  [ExtProcBtn]=関連付け [StartMnuBtn]=ｽﾀｰﾄﾒﾆｭｰ [ExecCmdBtn]=実行コマンド)
steps() {
  local p l c
  for p in "$@"; do
    if [[ $p == ^?@*:* ]]; then
      l=${p#*@}; c=${l#*:}; l=${l%:*}
      printf '%s\n' into 0 caret 0 "$l" "$c" ctrl "${p:1:1}" taken
    elif [[ $p == ProEd=* ]]; then
      printf '%s\n' into 1 type 1 "${p#ProEd=}"
    else
      printf '%s\n' click "${BTN[$p]}" taken
    fi
  done
}
# doru BUTTON FOLDER [STEPS...]: opens the editor on the archive, works it
# with the steps, presses BUTTON (OK or キャンセル); when the folder picker
# comes, FOLDER (OK: the proposed one, the archive's; キャンセル: none) answers
# it; the result log, when one comes, is read into LOG and closed.
# LOADED holds the text as the editor came up, SHOWN its controls after the
# steps.
doru() {
  local button=$1 folder=$2 s
  shift 2
  mapfile -t s < <(steps "$@")
  LOG=""
  start_tovix "$BIN/tovix.exe" "$(winpath "$arc")"
  probe wait TVantrelbyHalvek command "\$設定ファイル作成(I)..." >/dev/null
  LOADED=$(probe dialog TDoruDlg memo) || fail "no setting-file dialog"
  [ ${#s[@]} -eq 0 ] || probe dialog TDoruDlg "${s[@]}" >/dev/null || fail "working the editor: $*"
  SHOWN=$(probe dialog TDoruDlg controls)
  probe dialog TDoruDlg click "$button" waitgone TDoruDlg 10000 >/dev/null || fail "editor not closed by $button"
  if [ -n "$folder" ]; then
    if [ "$folder" = OK ]; then
      folder_ok "$CW" >/dev/null
    else
      probe wait TVantrelbyHalvek dialog "フォルダーの参照" 10000 click "$folder" >/dev/null
    fi || fail "no folder picker"
    LOG=$(probe wait TVantrelbyHalvek dialog TDispDlg 20000 caption memo click OK) || fail "no result log"
  else
    ! probe wait TVantrelbyHalvek dialog "フォルダーの参照" 1500 >/dev/null 2>&1 || fail "folder asked for nothing to write"
  fi
  stop_tovix
}

# Every template (a title's button goes once used); the folder choice
# cancelled: through the temporary folder.
doru OK キャンセル WinTitlerBtn ExtProcBtn ExtProcBtn ExtProcBtn StartMnuBtn StartMnuBtn UnPackTitleBtn \
  UnPackInitialValBtn ExecCmdBtn
expect_line "$SHOWN" "Edit id=0 arc" "product name"
for b in Windowタイトル 展開先タイトル 展開先初期値 実行コマンド; do
  expect_line "$SHOWN" "Button id=0 [disabled] $b" "used button $b"
done
expect_line "$SHOWN" "Button id=0 関連付け" "class button stays"
expect_line "$LOG" "caption: tovixの圧縮結果" "result log"
lines '$WindowTitle=arcのインストール' '$ClassTitle=arcを関連付け(&R)' \
  '$Class=<拡張子>,<説明>,<プログラム名>,<キー>' '$Class=<拡張子>,<説明>,<プログラム名>,<キー>' \
  '$Class=<拡張子>,<説明>,<プログラム名>,<キー>' '$GroupTitle=arcをｽﾀｰﾄﾒﾆｭｰに登録(&S)' \
  '$Group=arc,<タイトル>,<ファイル名>,' '$Group=arc,<タイトル>,<ファイル名>,' \
  '$InstallTitle=インストールするフォルダ(&D)' '$InstallDir=%ProgramFiles%\arc' '$Command=notepad arc.txt' \
  >"$CW/want1"
dollar >"$CW/got1"
cmp "$CW/want1" "$CW/got1" || fail "first file: $(od -c "$CW/got1" | head -20)"
lha l "$arc" | grep -q ' a\.txt$' || fail "a.txt lost: $(lha l "$arc")"
lha t "$arc" >/dev/null || fail "archive damaged"
[ -z "$(find "$TOVIX_PREFIX/drive_c" -name '$' 2>/dev/null)" ] || fail "temporary file left: $(find "$TOVIX_PREFIX/drive_c" -name '$')"

# The next use loads the file; keys edit it, the title lines come back,
# and the chosen folder (the proposed one, the archive's) keeps its copy.
doru OK OK ProEd=Tool ^Y@0:0 ^K@9:8 ^K@9:8 ^U@6:7 ^U@6:0 ExtProcBtn WinTitlerBtn
expect_line "$LOADED" '$WindowTitle=arcのインストール' "loaded text"
expect_line "$LOADED" '$Command=notepad arc.txt' "loaded text's last line"
lines '$ClassTitle=arcを関連付け(&R)' \
  '$Class=<拡張子>,<説明>,<プログラム名>,<キー>' '$Class=<拡張子>,<説明>,<プログラム名>,<キー>' \
  '$Class=<拡張子>,<説明>,<プログラム名>,<キー>' '$GroupTitle=arcをｽﾀｰﾄﾒﾆｭｰに登録(&S)' \
  '$Group=arc,<タイトル>,<ファイル名>,' 'arc,<タイトル>,<ファイル名>,' \
  '$InstallTitle=インストールするフォルダ(&D)' '$InstallDir=%ProgramFiles%\arc' '$Command' \
  '$ClassTitle=Toolを関連付け(&R)' '$Class=<拡張子>,<説明>,<プログラム名>,<キー>' '$WindowTitle=Toolのインストール' \
  >"$CW/want2"
dollar >"$CW/got2"
cmp "$CW/want2" "$CW/got2" || fail "second file: $(iconv -f CP932 -t UTF-8 "$CW/got2")"
cmp "$CW/want2" "$CW/\$" || fail "file in the chosen folder"
[ "$(lha l "$arc" | grep -c ' \$$')" = 1 ] || fail "one \$ entry: $(lha l "$arc")"

# Cancel, and OK without a change: the archive stays as it is.
sum=$(md5sum <"$arc")
doru キャンセル "" WinTitlerBtn
doru OK ""
[ "$(md5sum <"$arc")" = "$sum" ] || fail "archive changed by cancel or an unmodified OK"
# Closed by its title bar: nothing written.
start_tovix "$BIN/tovix.exe" "$(winpath "$arc")"
probe wait TVantrelbyHalvek command "\$設定ファイル作成(I)..." >/dev/null
cap=$(probe wait TDoruDlg 10000 caption) || fail "no setting-file window"
[ "$cap" = "caption: \$設定ファイル作成支援" ] || fail "dialog caption: $cap"
probe wait TDoruDlg close waitgone TDoruDlg 10000 >/dev/null || fail "dialog not closed"
stop_tovix
[ "$(md5sum <"$arc")" = "$sum" ] || fail "closing the dialog changed the archive"
# The command strings, from the recording library's journal.
rec="$CW/rec"
mkdir -p "$rec"
cp "$BIN/tovix.exe" "$BIN"/recorder/*.dll "$rec/"
echo "a.txt|10|5|0|$DOS||-lh5-|0" >"$CW/entries.txt"
export ARC_JOURNAL="$(winpath "$CW/journal.txt")" REC_unlha32_CHECK="r.lzh"
export REC_unlha32_ENTRIES="$(winpath "$CW/entries.txt")"
echo x >"$CW/r.lzh"
A=$(winpath "$CW")
rm -f "$CW/\$"
start_tovix "$rec/tovix.exe" "$A\\r.lzh"
mapfile -t s < <(steps ExecCmdBtn)
probe wait TVantrelbyHalvek command "\$設定ファイル作成(I)..." dialog TDoruDlg "${s[@]}" click OK >/dev/null ||
  fail "recorded: editor"
folder_ok "$CW" >/dev/null || fail "recorded: no folder picker"
probe wait TVantrelbyHalvek dialog TDispDlg 20000 click OK >/dev/null || fail "recorded: no result log"
stop_tovix
cmds=$(grep ' Command owner=' "$CW/journal.txt" | sed 's/.* cmd=//' | tr -d '\r')
expect_line "$cmds" "p -n \"$A\\r.lzh\" \$" "read command"
expect_line "$cmds" "a -n \"$A\\r.lzh\" \"$A\\\" \$" "add command"
lines '$Command=notepad r.txt' | cmp - "$CW/\$" || fail "recorded file"
echo ok
