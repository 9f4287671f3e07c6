#!/usr/bin/env bash
# The self-extractor's setting file "$" in the real program on an LHA
# archive made by jlha: template lines and editing keys, written into the
# archive (read back with lhasa, byte for byte) through the temporary folder
# or a chosen one; loaded again on the next use; Cancel and an unmodified OK
# leave the archive alone.
source "$(dirname "$0")/../browser_list/e2e_common.sh"
src="$SCRATCH/src"
mkdir -p "$src" "$SCRATCH/out"
printf 'hello\r\n' >"$src/a.txt"
arc="$SCRATCH/arc.lzh"
(cd "$src" && jlha a "$arc" a.txt >/dev/null 2>&1)
# The command is offered once the second self-extractor style is chosen.
winrun reg add "HKCU\\$TOVIX_SETTINGS_KEY\\Pack" /v AutoStyle /d 2 /f >/dev/null 2>&1
sj() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
# lines L1 L2 ...: the CP932 file text, every line ending with CR LF.
lines() { local l; for l in "$@"; do sj "$l"; printf '\r\n'; done; }
# dollar: the "$" entry of the archive as lhasa extracts it.
dollar() {
  rm -rf "$SCRATCH/x" && mkdir "$SCRATCH/x"
  (cd "$SCRATCH/x" && lha e "$arc" >/dev/null 2>&1)
  cat "$SCRATCH/x/\$" 2>/dev/null || true
}
# doru ANSWERS: runs the command with these answers on the archive.
doru() {
  export TOVIX_ANSWERS="$1"
  TRACE="$SCRATCH/t.txt"
  start_tovix "$BIN/tovix.exe" "$TRACE" "$(winpath "$arc")"
  probe wait TVantrelbyHalvek command "\$設定ファイル作成(I)..." >/dev/null
  for _ in $(seq 100); do grep -q '^dialog doru:' "$TRACE" && break; sleep 0.1; done
  grep -q '^dialog doru:' "$TRACE" || fail "no setting-file dialog: $(cat "$TRACE")"
  # A changed file is packed into the archive; its log ends the command.
  if grep -q '^dialog doru: ok modified' "$TRACE"; then
    eventually 60 grep -q '^resultlog caption' "$TRACE" || fail "no packing log: $(cat "$TRACE")"
  fi
  stop_tovix
}
traced() { grep -qxF -- "$1" "$TRACE" || fail "$2: no trace line '$1' in: $(iconv -f CP932 -t UTF-8 "$TRACE")"; }

# Every template; the folder choice cancelled: through the temporary folder.
doru "doru=ok;folder=;doru:press=WinTitlerBtn WinTitlerBtn ExtProcBtn ExtProcBtn ExtProcBtn StartMnuBtn StartMnuBtn UnPackTitleBtn UnPackInitialValBtn ExecCmdBtn"
traced "doru ProEd=arc" "product name"
traced "resultlog caption $(sj 'tovixの圧縮結果')" "result log"
lines '$WindowTitle=arcのインストール' '$ClassTitle=arcを関連付け(&R)' \
  '$Class=<拡張子>,<説明>,<プログラム名>,<キー>' '$Class=<拡張子>,<説明>,<プログラム名>,<キー>' \
  '$Class=<拡張子>,<説明>,<プログラム名>,<キー>' '$GroupTitle=arcをｽﾀｰﾄﾒﾆｭｰに登録(&S)' \
  '$Group=arc,<タイトル>,<ファイル名>,' '$Group=arc,<タイトル>,<ファイル名>,' \
  '$InstallTitle=インストールするフォルダ(&D)' '$InstallDir=%ProgramFiles%\arc' '$Command=notepad arc.txt' \
  >"$SCRATCH/want1"
dollar >"$SCRATCH/got1"
cmp "$SCRATCH/want1" "$SCRATCH/got1" || fail "first file: $(od -c "$SCRATCH/got1" | head -20)"
lha l "$arc" | grep -q ' a\.txt$' || fail "a.txt lost: $(lha l "$arc")"
lha t "$arc" >/dev/null || fail "archive damaged"
[ -z "$(find "$TOVIX_PREFIX/drive_c" -name '$' 2>/dev/null)" ] || fail "temporary file left: $(find "$TOVIX_PREFIX/drive_c" -name '$')"

# The next use loads the file; keys edit it, the title lines come back,
# and the chosen folder keeps its copy.
out=$(winpath "$SCRATCH/out")
doru "doru=ok;folder=$out;doru:ProEd=Tool;doru:press=^Y@0:0 ^K@9:8 ^K@9:8 ^U@6:7 ^U@6:0 ExtProcBtn WinTitlerBtn"
traced "doru| $(sj '$WindowTitle=arcのインストール')" "loaded text"
lines '$ClassTitle=arcを関連付け(&R)' \
  '$Class=<拡張子>,<説明>,<プログラム名>,<キー>' '$Class=<拡張子>,<説明>,<プログラム名>,<キー>' \
  '$Class=<拡張子>,<説明>,<プログラム名>,<キー>' '$GroupTitle=arcをｽﾀｰﾄﾒﾆｭｰに登録(&S)' \
  '$Group=arc,<タイトル>,<ファイル名>,' 'arc,<タイトル>,<ファイル名>,' \
  '$InstallTitle=インストールするフォルダ(&D)' '$InstallDir=%ProgramFiles%\arc' '$Command' \
  '$ClassTitle=Toolを関連付け(&R)' '$Class=<拡張子>,<説明>,<プログラム名>,<キー>' '$WindowTitle=Toolのインストール' \
  >"$SCRATCH/want2"
dollar >"$SCRATCH/got2"
cmp "$SCRATCH/want2" "$SCRATCH/got2" || fail "second file: $(iconv -f CP932 -t UTF-8 "$SCRATCH/got2")"
cmp "$SCRATCH/want2" "$SCRATCH/out/\$" || fail "file in the chosen folder"
[ "$(lha l "$arc" | grep -c ' \$$')" = 1 ] || fail "one \$ entry: $(lha l "$arc")"

# Cancel, and OK without a change: the archive stays as it is.
sum=$(md5sum <"$arc")
doru "doru=cancel;folder=;doru:press=WinTitlerBtn"
doru "doru=ok;folder="
traced "dialog doru: ok" "unmodified OK"
[ "$(md5sum <"$arc")" = "$sum" ] || fail "archive changed by cancel or an unmodified OK"
# The real dialog, shown without answers, closed: nothing written.
unset TOVIX_ANSWERS
start_tovix "$BIN/tovix.exe" "$SCRATCH/t.txt" "$(winpath "$arc")"
probe wait TVantrelbyHalvek command "\$設定ファイル作成(I)..." >/dev/null
cap=$(probe wait TDoruDlg 10000 caption) || fail "no setting-file window"
[ "$cap" = "caption: \$設定ファイル作成支援" ] || fail "dialog caption: $cap"
probe wait TDoruDlg close waitgone TDoruDlg 10000 >/dev/null || fail "dialog not closed"
stop_tovix
[ "$(md5sum <"$arc")" = "$sum" ] || fail "closing the dialog changed the archive"
# The command strings, from the recording library's journal.
rec="$SCRATCH/rec"
mkdir -p "$rec" "$SCRATCH/out2"
cp "$BIN/tovix.exe" "$BIN"/recorder/*.dll "$rec/"
echo "a.txt|10|5|0|$DOS||-lh5-|0" >"$SCRATCH/entries.txt"
export ARC_JOURNAL="$(winpath "$SCRATCH/journal.txt")" REC_unlha32_CHECK="r.lzh"
export REC_unlha32_ENTRIES="$(winpath "$SCRATCH/entries.txt")"
echo x >"$SCRATCH/r.lzh"
A=$(winpath "$SCRATCH")
export TOVIX_ANSWERS="doru=ok;doru:press=ExecCmdBtn;folder=$A\\out2"
TRACE="$SCRATCH/t-rec.txt"
start_tovix "$rec/tovix.exe" "$TRACE" "$A\\r.lzh"
probe wait TVantrelbyHalvek command "\$設定ファイル作成(I)..." >/dev/null
# The add command is the last the libraries get.
eventually 60 grep -q ' Command owner=.* cmd=a -n ' "$SCRATCH/journal.txt" || fail "no add command: $(cat "$SCRATCH/journal.txt")"
stop_tovix
cmds=$(grep ' Command owner=' "$SCRATCH/journal.txt" | sed 's/.* cmd=//' | tr -d '\r')
expect_line "$cmds" "p -n \"$A\\r.lzh\" \$" "read command"
expect_line "$cmds" "a -n \"$A\\r.lzh\" \"$A\\out2\\\" \$" "add command"
lines '$Command=notepad r.txt' | cmp - "$SCRATCH/out2/\$" || fail "recorded file"
# The prefix's own server goes first: it may still be writing the registry.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
rm -rf "$SCRATCH/prefix"
echo ok
