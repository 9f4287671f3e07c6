#!/usr/bin/env bash
# Both extension libraries as Explorer and the setup program meet them: the
# registration exports and their keys, the class factory, the selection each
# accepts, the menu item under each flag, help texts and refused verbs.
source "$TOOLS/lib.sh"
cd "$SCRATCH"
drv() { timeout 60 $WINE_RUN "$BIN/shxdrv.exe" "$@" | tr -d '\r' | iconv -f CP932 -t UTF-8; }
expect() { [[ "$1" == "$2" ]] || fail "$3: expected '$2', got '$1'"; }

UNPACK='{34869A81-2706-11D3-9EE0-89A6F700B519}'
SEND='{34869A80-2706-11D3-9EE0-89A6F700B519}'
APPROVED='SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'

# dll | class | description | help text | handler keys (comma-separated)
while IFS='|' read -r dll id desc help keys; do
  path=$(winpath "$BIN/$dll")
  expect "$(drv reg "$path")" "reg 00000000" "$dll register"
  expect "$(drv key HKCR "CLSID\\$id")" "$desc" "$dll class key"
  expect "$(drv key HKCR "CLSID\\$id\\InprocServer32")" "$path" "$dll server path"
  expect "$(drv key HKCR "CLSID\\$id\\InprocServer32" ThreadingModel)" "Apartment" "$dll threading model"
  expect "$(drv key HKLM "$APPROVED" "$id")" "$help" "$dll approval"
  IFS=, read -ra hk <<<"$keys"
  for k in "${hk[@]}"; do expect "$(drv key HKCR "$k")" "$id" "$dll handler $k"; done

  expect "$(drv unreg "$path")" "unreg 00000000" "$dll unregister"
  for k in "${hk[@]}" "CLSID\\$id"; do expect "$(drv key HKCR "$k")" "(missing)" "$dll left $k"; done
  expect "$(drv key HKLM "$APPROVED" "$id")" "(no value)" "$dll left the approval"
  expect "$(drv unreg "$path")" "unreg 00000000" "$dll unregister twice"
done <<EOF2
tovixu.dll|$UNPACK|Tovix Unpack|書庫の解凍を行います。|tovix\\shellex\\ContextMenuHandlers\\tovix_unpack
tovix.dll|$SEND|Tovix Shell|Tovixで圧縮/解凍を行います。|*\\shellex\\ContextMenuHandlers\\tovix_shell,folder\\shellex\\ContextMenuHandlers\\tovix_shell
EOF2

# Another program's handler below tovix\shellex outlives ours.
drv reg "$(winpath "$BIN/tovixu.dll")" >/dev/null
winrun reg add 'HKCR\tovix\shellex\ContextMenuHandlers\other' /ve /d x /f >/dev/null 2>&1
drv unreg "$(winpath "$BIN/tovixu.dll")" >/dev/null
expect "$(drv key HKCR 'tovix\shellex\ContextMenuHandlers\tovix_unpack')" "(missing)" "unpack handler with a neighbour"
expect "$(drv key HKCR 'tovix\shellex\ContextMenuHandlers\other')" "x" "neighbour handler"
winrun reg delete 'HKCR\tovix\shellex' /f >/dev/null 2>&1

# A library path with a blank: quoted for unpack, the short form for send.
mkdir -p "with blank"
cp "$BIN/tovixu.dll" "$BIN/tovix.dll" "with blank/"
p=$(winpath "with blank/tovixu.dll")
drv reg "$p" >/dev/null
expect "$(drv key HKCR "CLSID\\$UNPACK\\InprocServer32")" "\"$p\"" "quoted unpack path"
drv unreg "$p" >/dev/null
p=$(winpath "with blank/tovix.dll")
drv reg "$p" >/dev/null
short=$(drv key HKCR "CLSID\\$SEND\\InprocServer32")
[[ $short != *" "* && ${short^^} == *'\TOVIX.DLL' ]] || fail "short send path: $short"
drv unreg "$p" >/dev/null

# The handler objects.
echo data > one.lzh; echo data > two.lzh; mkdir -p folder
one=$(winpath one.lzh) two=$(winpath two.lzh) folder=$(winpath folder)
for lib in "tovixu.dll|$UNPACK|解凍(&U)|書庫の解凍を行います。" "tovix.dll|$SEND|&Tovix|Tovixで圧縮/解凍を行います。"; do
  IFS='|' read -r dll id caption help <<<"$lib"
  # flags | items after the query
  while IFS='|' read -r flags result; do
    out=$(drv menu "$(winpath "$BIN/$dll")" "$id" "$flags" "$one")
    expect_line "$out" "init 00000000" "$dll init"
    expect_line "$out" "init null 80070057" "$dll init without data"
    expect_line "$out" "other class 80040111 null" "$dll other class"
    expect_line "$out" "unload while alive 00000001" "$dll unload while alive"
    expect_line "$out" "unload after 00000000" "$dll unload after"
    if [[ $result == 1 ]]; then
      expect_line "$out" "query 00000001" "$dll flags $flags"
      expect_line "$out" "item 1 id 100 $caption" "$dll flags $flags"
      expect_line "$out" "item 2 id 2 second" "$dll flags $flags"
    else
      expect_line "$out" "query 00000000" "$dll flags $flags"
      expect_line "$out" "item 1 id 2 second" "$dll flags $flags"
    fi
  done <<<$'0|1\n4|1\n5|1\n20|1\n1|0\n2|0\n3|0'
  expect_line "$out" "command string 1 00000000 $help" "$dll help text"
  expect_line "$out" "command string 0 00000000 (none)" "$dll verb"
  expect_line "$out" "command string 2 00000000 (none)" "$dll validate"
  expect_line "$out" "command string id 1 80070057" "$dll other command"
  expect_line "$out" "invoke verb 80004005" "$dll string verb"
  expect_line "$out" "invoke 1 80070057" "$dll offset 1"
done
# The help text cut to the caller's buffer, terminated inside it.
out=$(drv menu "$(winpath "$BIN/tovix.dll")" "$SEND" 0 "$one")
expect_line "$out" 'help in 4 bytes Tov\0#' "help text in a small buffer"

# Selections: unpack takes exactly one file, send any files and folders.
expect_line "$(drv menu "$(winpath "$BIN/tovixu.dll")" "$UNPACK" 0 "$one" "$two")" "init 80004005" "unpack two files"
expect_line "$(drv menu "$(winpath "$BIN/tovixu.dll")" "$UNPACK" 0)" "init 80004005" "unpack nothing"
expect_line "$(drv menu "$(winpath "$BIN/tovix.dll")" "$SEND" 0 "$one" "$two" "$folder")" "init 00000000" "send three"
expect_line "$(drv menu "$(winpath "$BIN/tovix.dll")" "$SEND" 0)" "init 80004005" "send nothing"
echo ok
