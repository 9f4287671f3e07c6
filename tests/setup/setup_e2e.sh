#!/usr/bin/env bash
# The real TovixSetup.exe end to end in a prefix of its own: refusals,
# install into a chosen folder, repair ("/s"), uninstall ("/r") and the
# delayed removal by Lateclear at the next start of Windows.
source "$TOOLS/lib.sh"
source "$TOOLS/beside.sh"
export TOVIX_PREFIX="$SCRATCH/prefix"
# Shortcuts must not reach the host's menus.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap 'WINEPREFIX=$TOVIX_PREFIX wineserver -k >/dev/null 2>&1 || true' EXIT
C="$TOVIX_PREFIX/drive_c"
UNINST='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Halvek_Tovix'
ARP='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Management\ARPCache'
RUNONCE='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce'

regval() {  # KEY [VALUE] -> data (UTF-8); the default value without VALUE
  local sel=(/ve)
  [ $# -ge 2 ] && sel=(/v "$2")
  winrun reg query "$1" "${sel[@]}" 2>/dev/null | iconv -f CP932 -t UTF-8 | tr -d '\r' |
    sed -n 's/^    .*    REG_[A-Z_]*    \{0,1\}//p' | head -n 1
}
haskey() { winrun reg query "$1" >/dev/null 2>&1; }
expect_val() {  # KEY VALUE|"" EXPECTED
  local got
  if [ -n "$2" ]; then got=$(regval "$1" "$2"); else got=$(regval "$1"); fi
  [ "$got" = "$3" ] || fail "$1 [$2]: '$got', expected '$3'"
}
# The setup program's windows as a user answers them, as uiprobe steps (one
# argument a line): the readme (OK or 中止), the folder typed in, the boxes
# of the shortcut and shell dialogs ticked as listed, a message box's button.
readme() { printf '%s\n' dialog TViewDlg 30000 click "${1:-次へ}" gone; }
instdir() { printf '%s\n' dialog TSetDirDlg 30000 type 0 "$1" click 次へ gone; }
ticks() {  # LIST CAPTION=NAME...: each box ticked when NAME is in LIST
  local list=",$1,"; shift
  for b in "$@"; do printf '%s\n' tick "${b%=*}" "$([[ $list == *",${b#*=},"* ]] && echo 1 || echo 0)"; done
}
shortcuts() {
  printf '%s\n' dialog TScutDlg 30000
  ticks "$1" スタートメニューに作成する。=start デスクトップに作成する。=desk
  printf '%s\n' click 次へ gone
}
shell() {
  printf '%s\n' dialog TExeDlg 30000
  ticks "$1" "Tovix シェルエクステンション=pack" 解凍シェルエクステンション=unpack Lha=lha Arj=arj Zip=zip Tar=tar \
    Cab=cab Rar=rar Bga=bga
  printf '%s\n' click 次へ gone
}
box() { printf '%s\n' answer "$1" 30000 gone; }
# run_setup DIR STEPS EXE ARGS...: runs a setup program (Windows path) in
# folder DIR while uiprobe takes STEPS (lines); what the message boxes said
# is in the probe's lines.
run_setup() {
  local dir=$1 steps=() exe=$3
  mapfile -t steps <<<"$2"
  shift 3
  (cd "$dir" && beside "${steps[@]}" -- timeout 120 $WINE_RUN "$exe" "$@") || fail "setup did not end: $exe $*"
}
traced() { asked "$1" "the setup program"; }

# The package: the program, the setup, Lateclear, the readme and two
# libraries whose registration entries leave a mark.
PKG="$SCRATCH/pkg"
mkdir -p "$PKG"
cp "$BIN/TovixSetup.exe" "$BIN/tovix.exe" "$BIN/Lateclear.exe" "$BIN/tovix.txt" "$PKG/"
cp "$BIN/setup-test/setup_fakeext.dll" "$PKG/tovix.dll"
cp "$BIN/setup-test/setup_fakeext.dll" "$PKG/tovixu.dll"
SETUP=$(winpath "$PKG/TovixSetup.exe")

winrun cmd /c exit >/dev/null 2>&1 </dev/null || true  # makes the prefix
# An extension that already belongs to another program.
winrun reg add 'HKCR\.zip' /ve /d OtherZip /f >/dev/null 2>&1
WINEPREFIX=$TOVIX_PREFIX wineserver -w

# --- Refused while Tovix runs: nothing is written.
winrun "$BIN/tovix.exe" >/dev/null 2>&1 &
winrun "$BIN/uiprobe.exe" wait TVantrelbyHalvek 30000 >/dev/null || fail "Tovix window"
run_setup "$PKG" "$(box OK)" "$SETUP"
winrun "$BIN/uiprobe.exe" wait TVantrelbyHalvek close wait-exit 20000 >/dev/null || fail "Tovix did not close"
traced "msgbox: エラー | Tovixが実行中です。終了してからセットアッププログラムを再実行してください。"
[ -e "$C/Tovix" ] && fail "installed while Tovix ran"

# --- A drive that is not a fixed disk (Wine gives every mapped drive the
# type of its Unix file system, so an unmapped letter stands in), and a
# cancelled readme.
run_setup "$PKG" "$(readme; instdir 'Q:\Tovix'; box OK)" "$SETUP"
traced "msgbox: エラー | ディスクの空き領域が足りません"
run_setup "$PKG" "$(readme 中止)" "$SETUP"
# Nothing installed: neither a repair nor an uninstall has anything to work on.
run_setup "$PKG" "$(box OK)" "$SETUP" /s
traced "msgbox: エラー | インストールされていません。"
haskey 'HKCR\tovix' && fail "a repair without an installation tied the extensions"
run_setup "$PKG" "$(box OK)" "$SETUP" /r
traced "msgbox: エラー | インストールされていません。"
haskey "$UNINST" && fail "a refused or cancelled setup left an uninstall record"
[ -e "$C/windows/Lateclear.exe" ] && fail "copied before the questions were answered"

# --- Install into a folder with a blank in its name.
run_setup "$PKG" "$(readme; instdir 'C:\Tools\Tovix Test\'; shortcuts start,desk; shell pack,unpack,lha,zip,bga; box OK)" "$SETUP"
traced "msgbox: 情報 | インストールが終了しました。"
DIR="$C/Tools/Tovix Test"
for f in TovixSetup.exe tovix.exe tovix.dll tovixu.dll; do
  cmp -s "$PKG/$f" "$DIR/$f" || fail "$f not installed"
done
cmp -s "$PKG/Lateclear.exe" "$C/windows/Lateclear.exe" || fail "Lateclear not in the Windows folder"
expect_val "$UNINST" InstallLocation 'C:\Tools\Tovix Test'
expect_val "$UNINST" UninstallString 'C:\Tools\Tovix Test\TovixSetup.exe /r'
expect_val "$UNINST" ModifyPath 'C:\Tools\Tovix Test\TovixSetup.exe /s'
expect_val "$UNINST" DisplayVersion 1.00
expect_val "$UNINST" ShortCut 0x5
expect_val "$UNINST" Shell 0x45
expect_val "$UNINST" ShellEx 0x3
for e in .lzh .zip .gza .bza; do expect_val "HKCR\\$e" "" tovix; done
expect_val 'HKCR\.zip' tovix.bak OtherZip
haskey 'HKCR\.arj' && fail ".arj tied though its box was clear"
cmd=$(regval 'HKCR\tovix\shell\open\command')
[[ $cmd =~ ^C:\\Tools\\[^\ ]+\\tovix\.exe\ \"%1\"$ ]] || fail "open command: $cmd"
icon=$(regval 'HKCR\tovix\DefaultIcon')
[ "$icon" = "${cmd% \"%1\"},0" ] || fail "icon: $icon"
# The short path names the installed program.
short=${cmd% \"%1\"}
winrun cmd /c "if exist $short (exit 0) else (exit 1)" >/dev/null 2>&1 || fail "$short does not exist"
expect_val 'HKCU\AppEvents\EventLabels\TX_ArcPack' "" "ファイルの圧縮"
expect_val 'HKCU\AppEvents\Schemes\Apps\Tovix\TX_ArcUnPack' "" "書庫の解凍"
expect_val 'HKCU\Software\TovixSetupTest' tovix.dll reg
expect_val 'HKCU\Software\TovixSetupTest' tovixu.dll reg
mapfile -t links < <(find "$C" -name Tovix.lnk)
[ ${#links[@]} -eq 2 ] || fail "shortcuts: ${links[*]}"
for l in "${links[@]}"; do
  [ "$(head -c 20 "$l" | od -An -tx1 | tr -d ' \n')" = 4c0000000114020000000000c000000000000046 ] ||
    fail "$l is not a shell link"
  grep -qa 'Tovix Test\\tovix.exe' "$l" || fail "$l does not point to the program"
done

haskey "$ARP" && fail "the size cache was made though the system has none"

# --- The same version again: asked, and Yes redoes the sound events and
# the ties as they were.
winrun reg delete 'HKCU\AppEvents\Schemes\Apps\Tovix' /f >/dev/null 2>&1
run_setup "$PKG" "$(printf '%s\n' answer "はい(Y)" 30000 gone; shell pack,unpack,lha,zip,bga; box OK)" "$SETUP"
traced "msgbox: 確認 | 最新バージョンがインストールされています。"
traced "msgbox: 情報 | シェル/関連付けの修復が終了しました。"
expect_val 'HKCU\AppEvents\Schemes\Apps\Tovix' "" Tovix
expect_val "$UNINST" Shell 0x45

# --- A newer package (2.08 over 1.00) while the old installation's
# extension libraries may still be loaded: refused, both unregistered,
# "ShellEx" 0 kept in the settings store as older versions did.
PKG2="$SCRATCH/pkg2"
cp -r "$PKG" "$PKG2"
cp "$BIN/setup-test/v208/tovix.exe" "$PKG2/tovix.exe"
SETUP2=$(winpath "$PKG2/TovixSetup.exe")
winrun reg add 'HKCU\Software\TovixSetupTest' /v tovixu.dll /d reg /f >/dev/null 2>&1
run_setup "$PKG2" "$(box OK)" "$SETUP2"
traced "msgbox: エラー | シェルエクステンションを使用中です。"
expect_val 'HKCU\software\halvek\Tovix\Install' ShellEx 0
expect_val 'HKCU\Software\TovixSetupTest' tovixu.dll unreg
cmp -s "$PKG/tovix.exe" "$DIR/tovix.exe" || fail "updated although refused"

# --- The update itself: no folder form (it is not answered here), the
# shortcut dialog for versions before 2.04, the record of the new version.
winrun reg add "$UNINST" /v ShellEx /t REG_DWORD /d 0 /f >/dev/null 2>&1
winrun reg add "$ARP" /f >/dev/null 2>&1
run_setup "$PKG2" "$(readme; shortcuts none; shell lha; box OK)" "$SETUP2"
traced "msgbox: 情報 | インストールが終了しました。"
cmp -s "$PKG2/tovix.exe" "$DIR/tovix.exe" || fail "not updated"
expect_val "$UNINST" DisplayVersion 2.08
expect_val "$UNINST" VersionMinor 0x8
expect_val "$UNINST" Shell 0x1
expect_val 'HKCR\.zip' "" OtherZip
haskey 'HKCU\software\halvek\Tovix\Install' && fail "the old Install section stayed"
# The size cache record: 552 bytes, its size first, the program's path
# in UTF-16 from byte 28.
cache=$(regval "$ARP\\Halvek_Tovix" SlowInfoCache)
[ ${#cache} -eq 1104 ] && [ "${cache:0:16}" = 2802000001000000 ] || fail "size cache record: $cache"
want=$(printf '%s' 'C:\Tools\Tovix Test\tovix.exe' | iconv -t UTF-16LE | od -An -tx1 | tr -d ' \n' | tr a-f A-F)
[ "${cache:56:${#want}+4}" = "${want}0000" ] || fail "size cache path: ${cache:56:120}"
expect_val "$ARP\\Halvek_Tovix" Changed 0x0
[ "$(find "$C" -name Tovix.lnk | wc -l)" -eq 2 ] || fail "shortcuts after the update: $(find "$C" -name Tovix.lnk)"

# --- Repair: the groups now cleared go back to their owners.
# Started as the uninstall list starts it: the recorded, unquoted command.
RUNLINE=$(winpath "$BIN/setup-test/setup_runline.exe")
run_setup "$C/Tools/Tovix Test" "$(shell unpack,zip; box OK)" "$RUNLINE" "$(regval "$UNINST" ModifyPath)"
traced "msgbox: 情報 | シェル/関連付けの修復が終了しました。"
expect_val "$UNINST" Shell 0x4
expect_val "$UNINST" ShellEx 0x2
expect_val 'HKCR\.zip' "" tovix
for e in .lzh .gza .bza; do haskey "HKCR\\$e" && fail "$e left behind by the repair"; done
expect_val 'HKCU\Software\TovixSetupTest' tovix.dll unreg

# --- Uninstall, cancelled and then confirmed.
winrun reg add 'HKCU\software\halvek\Tovix\Other' /v 2Err /d 1 /f >/dev/null 2>&1
run_setup "$C/Tools/Tovix Test" "$(box キャンセル)" 'C:\Tools\Tovix Test\TovixSetup.exe' /r
[ -e "$DIR/tovix.exe" ] && haskey "$UNINST" || fail "a cancelled uninstall changed something"
run_setup "$C/Tools/Tovix Test" "$(box OK; box OK)" "$RUNLINE" "$(regval "$UNINST" UninstallString)"
traced "msgbox: 情報 | アンインストールが終了しました。"
for f in tovix.exe tovix.dll tovixu.dll; do [ -e "$DIR/$f" ] && fail "$f not removed"; done
for k in "$UNINST" "$ARP\\Halvek_Tovix" 'HKCU\software\halvek\Tovix' 'HKCR\tovix' 'HKCU\AppEvents\Schemes\Apps\Tovix' \
         'HKCU\AppEvents\EventLabels\TX_ArcPack'; do
  haskey "$k" && fail "$k left behind"
done
expect_val 'HKCR\.zip' "" OtherZip
[ -z "$(regval 'HKCR\.zip' tovix.bak)" ] || fail "tovix.bak left in .zip"
expect_val 'HKCU\Software\TovixSetupTest' tovixu.dll unreg
[ -z "$(find "$C" -name Tovix.lnk)" ] || fail "shortcuts left: $(find "$C" -name Tovix.lnk)"
[ -e "$DIR/TovixSetup.exe" ] || fail "the setup program is Lateclear's to remove"
expect_val "$RUNONCE" Halvek_Tovix 'Lateclear -n "C:\Tools\Tovix Test" TovixSetup.exe'

# --- The next start of Windows runs Lateclear, which takes the rest.
winrun wineboot -r >/dev/null 2>&1 || true
WINEPREFIX=$TOVIX_PREFIX wineserver -w
[ -e "$DIR" ] && fail "install folder left after the restart: $(ls -A "$DIR")"
haskey "$RUNONCE" && [ -n "$(regval "$RUNONCE" Halvek_Tovix)" ] && fail "RunOnce value left"
# --- Uninstall while the shell holds the unpack extension loaded: the
# library is left to the next start's clean-up, which then takes it, the
# setup program and the folder.
run_setup "$PKG" "$(readme; instdir 'C:\Held'; shortcuts none; shell unpack; box OK)" "$SETUP"
traced "msgbox: 情報 | インストールが終了しました。"
HELD="$C/Held"
winrun "$BIN/setup-test/setup_holdlib.exe" 'C:\Held\tovixu.dll' "$(winpath "$SCRATCH/let-go")" >"$SCRATCH/held.txt" 2>&1 &
holder=$!
wait_until 30 "the library loaded by the holder" grep -q '^held' "$SCRATCH/held.txt"
run_setup "$HELD" "$(box OK; box OK)" 'C:\Held\TovixSetup.exe' /r
traced "msgbox: 情報 | アンインストールが終了しました。"
[ -e "$HELD/tovixu.dll" ] || fail "the library was removed while loaded: no test of what is in use"
[ -e "$HELD/tovix.exe" ] && fail "tovix.exe not removed beside the held library"
later=$(regval "$RUNONCE" Halvek_Tovix)
touch "$SCRATCH/let-go"
wait "$holder" || fail "the holder: $(cat "$SCRATCH/held.txt")"
# What the next start runs, run now that nothing holds the library.
(cd "$C/windows" && winrun "$RUNLINE" "$later") || fail "the next start's command failed: $later"
[ -e "$HELD" ] && fail "install folder left after the next start's clean-up ($later): $(ls -A "$HELD")"
winrun reg delete "$RUNONCE" /v Halvek_Tovix /f >/dev/null 2>&1

# --- A package without the extension libraries and the help file: the
# install goes on, the registration says the library is no server, and
# the record keeps the box's bit.
PKG3="$SCRATCH/pkg3"
mkdir -p "$PKG3"
cp "$PKG"/{TovixSetup.exe,tovix.exe,Lateclear.exe,tovix.txt} "$PKG3/"
run_setup "$PKG3" "$(readme; instdir 'C:\Bare'; shortcuts none; shell pack; box OK; box OK)" "$(winpath "$PKG3/TovixSetup.exe")"
traced "msgbox: エラー | 指定されたファイルは ActiveX サーバーではありません。"
traced "msgbox: 情報 | インストールが終了しました。"
[ -f "$C/Bare/tovix.exe" ] && [ ! -e "$C/Bare/tovix.dll" ] || fail "bare package: $(ls "$C/Bare")"
expect_val "$UNINST" ShellEx 0x1

# --- The real extension libraries, once they are built: a repair
# registers the unpack library, which hangs itself below the ProgID.
if [ -f "$BIN/tovix.dll" ] && [ -f "$BIN/tovixu.dll" ]; then
  cp "$BIN/tovix.dll" "$BIN/tovixu.dll" "$C/Bare/"
  run_setup "$C/Bare" "$(shell pack,unpack,zip; box OK)" 'C:\Bare\TovixSetup.exe' /s
  unasked "msgbox: エラー" "registering the real libraries"
  haskey 'HKCR\tovix\shellex' || fail "the unpack library did not register below tovix"
  expect_val "$UNINST" ShellEx 0x3
fi

WINEPREFIX=$TOVIX_PREFIX wineserver -k >/dev/null 2>&1 || true
rm -rf "$TOVIX_PREFIX"
echo ok
