#!/usr/bin/env bash
# The unpack extension end to end: archives made by the peer tools are
# extracted next to themselves through the real archiver libraries, byte for
# byte, with nothing written anywhere else; the held keys, the folder picker,
# the password prompt and every refusal's message box, answered through
# their controls. The shell's folder opener (HKCR\Folder) is a stand-in that
# records what it was asked to open: the test has a prefix of its own.
source "$TOOLS/lib.sh"
source "$TOOLS/beside.sh"
export TOVIX_PREFIX="$SCRATCH/prefix" WINEPREFIX="$SCRATCH/prefix"
winrun cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
wineserver -p 2>/dev/null || true
trap 'wineserver -k 2>/dev/null || true' EXIT
cd "$SCRATCH"
UNPACK='{34869A81-2706-11D3-9EE0-89A6F700B519}'
DRV="$BIN/shxdrv.exe" DLL="$BIN/tovixu.dll"
opener="$(winpath "$BIN/shellext-fake/tovix.exe")"
winrun reg add 'HKCR\Folder\shell\open\command' /ve /d "\"$opener\" \"%1\"" /f >/dev/null 2>&1
# run ARCHIVE: the command on one archive (held keys in SHX_KEYS); what the
# folder opener was given lands in opened.txt.
run() {
  timeout 120 env SHX_OUT="$(winpath "$SCRATCH/opened.txt")" $WINE_RUN "$DRV" invoke "$(winpath "$DLL")" "$UNPACK" \
    "$(winpath "$1")" | tr -d '\r' > "$SCRATCH/out.txt"
  grep -qxF "invoke 00000000" "$SCRATCH/out.txt" || fail "invoke on $1: $(cat "$SCRATCH/out.txt")"
}
# unpack [PROBE-ARGS... --] ARCHIVE: run, with uiprobe working the windows it shows.
unpack() {
  rm -f "$SCRATCH/opened.txt"
  if [[ $# -eq 1 ]]; then run "$1"; return; fi
  local probe=()
  while [[ $1 != -- ]]; do probe+=("$1"); shift; done
  beside "${probe[@]}" -- run "$2"
}
# not_opened WHAT: no folder is opened (a pause: time for an opening that
# must not come).
not_opened() { sleep 1; [[ ! -e opened.txt ]] || fail "$1: a folder was opened: $(cat opened.txt)"; }
# The tree below a folder, as relative paths.
tree() { (cd "$1" && find . -mindepth 1 | LC_ALL=C sort); }
same_tree() { diff -r "$1" "$2" >/dev/null || fail "$3: $2 differs from $1"; }

mkdir -p src/sub
seq 1 5000 > src/a.txt
head -c 40000 "$BIN/unrar.dll" > src/sub/b.bin
: > src/sub/empty.txt

# archive (made in its own folder) | maker | folder the files must land in
# (relative to the archive's folder; "." = beside the archive)
mk() {
  local dir=$1 name=$2 how=$3
  mkdir -p "$dir"
  case $how in
    lha) (cd src && jlha a "../$dir/$name" a.txt sub/b.bin sub/empty.txt >/dev/null) ;;
    zip) (cd src && zip -qr "../$dir/$name" a.txt sub) ;;
    targz) tar -C src -czf "$dir/$name" a.txt sub ;;
    gz) gzip -c src/a.txt > "$dir/$name" ;;
    rar) (cd src && timeout 60 $WINE_RUN "$BIN/mkrar.exe" -5 "$(winpath "../$dir/$name")" \
            a.txt=a.txt sub/ sub/b.bin=sub/b.bin sub/empty.txt=sub/empty.txt >/dev/null) ;;
  esac
}
# The command strings, through recording libraries in a folder of their own
# beside a copy of the driver and the extension (the libraries are looked
# for beside the program first).
mkdir rec
cp "$DRV" "$DLL" "$BIN"/recorder/*.dll rec/
export ARC_JOURNAL="$(winpath rec/journal.txt)"
commands=()
while IFS='|' read -r dir name how into cmd; do
  mk "$dir" "$name" "$how"
  before=$(tree "$dir")
  unpack "$dir/$name"
  not_opened "$name"
  [[ -z $cmd ]] || commands+=("$dir|$name|$cmd")
  if [[ $how == gz ]]; then
    cmp -s src/a.txt "$dir/${name%.gz}" || fail "$name: not extracted beside itself"
  else
    same_tree src "$dir/$into" "$name"
  fi
  # Only the extraction folder is new.
  after=$(tree "$dir" | grep -vxF -f <(printf '%s\n' $before) | grep -v "^\./$into/" || true)
  expected="./$into"; [[ $how == gz ]] && expected="./${name%.gz}"
  [[ $after == "$expected" ]] || fail "$name: written besides the extraction: $after"
done <<EOF2
lha|a.lzh|lha|a|unlha32.dll x -c0 -a1 "$(winpath lha/a.lzh)" "$(winpath lha/a)\\"
zip|b.zip|zip|b|unzip32.dll -u "$(winpath zip/b.zip)" "$(winpath zip/b)\\"
zipcaps|C.ZIP|zip|C|
tgz|d.tar.gz|targz|d.tar|tar32.dll --display-dialog=0 --message-loop=0 -x "$(winpath tgz/d.tar.gz)" "$(winpath tgz/d.tar)\\" *.*
gz|notes.txt.gz|gz|.|tar32.dll --display-dialog=0 --message-loop=0 -x "$(winpath gz/notes.txt.gz)" "$(winpath gz)\\"
rar|e.rar|rar|e|
EOF2
for c in "${commands[@]}"; do
  IFS='|' read -r dir name cmd <<<"$c"
  rm -f rec/journal.txt
  DRV="$SCRATCH/rec/shxdrv.exe" DLL="$SCRATCH/rec/tovixu.dll" unpack "$dir/$name"
  lib=${cmd%%.dll *} want=${cmd#*.dll }
  got=$(tr -d '\r' < rec/journal.txt | iconv -f CP932 -t UTF-8 | sed -n "s/^$lib Command owner=[0-9a-f]* size=0 cmd=//p")
  [[ $got == "$want" ]] || fail "$name command: want '$want', the library got '$got'"
done
unset ARC_JOURNAL

# Ctrl: straight into the archive's folder.
mk ctrl a.lzh lha
SHX_KEYS=ctrl unpack ctrl/a.lzh
same_tree src/sub ctrl/sub "ctrl"
cmp -s src/a.txt ctrl/a.txt || fail "ctrl: a.txt"

# Shift: the picker opens on the archive's folder. The same folder opens no
# window; another one opens the extraction folder; cancel does nothing. The
# folders it proposes and is led to are in the prefix's C: drive, where its
# walk meets no other test's folders (as in the shared scratch folder).
C="$WINEPREFIX/drive_c/shellext_unpack"
rm -rf "$C" && mkdir -p "$C/elsewhere"
mk shift a.lzh lha
mv shift "$C/"
pick() { echo dialog "#32770" controls choose-folder "$(winpath "$1")" click OK; }
export SHX_KEYS=shift
unpack $(pick "$C/shift") -- "$C/shift/a.lzh"
asked "解凍先の選択" "shift picker"
same_tree src "$C/shift/a" "shift, same folder"
not_opened "shift, same folder"
SHX_WAIT="$(winpath opened.txt)" unpack $(pick "$C/elsewhere") -- "$C/shift/a.lzh"
same_tree src "$C/elsewhere/a" "shift, other folder"
grep -qF "$(winpath "$C/elsewhere/a")" opened.txt || fail "shift, other folder: opened: $(cat opened.txt 2>/dev/null)"
rm -rf "$C/shift/a"
beside_any dialog "#32770" click キャンセル gone answer OK 3000 -- run "$C/shift/a.lzh"
[[ $(tree "$C/shift") == ./a.lzh ]] || fail "picker cancelled, yet: $(tree "$C/shift")"
asked "error: no window" "the cancelled picker said something"
unset SHX_KEYS

# The target folder exists already: extraction goes into it.
mk exist a.lzh lha
mkdir exist/a; echo keep > exist/a/keep.txt
unpack exist/a.lzh
same_tree src/sub exist/a/sub "existing folder"
[[ $(cat exist/a/keep.txt) == keep ]] || fail "existing folder lost its file"

# A file of the target name: the folder message, nothing extracted.
mk isfile a.lzh lha
echo x > isfile/a
unpack answer OK -- isfile/a.lzh
asked "msgbox: Error | フォルダが作成できませんでした。" "file in the way"
[[ $(tree isfile) == $'./a\n./a.lzh' ]] || fail "file in the way: $(tree isfile)"

# A damaged archive: the failure message, and the folder it made is gone.
mk bad b.zip zip
head -c 3000 bad/b.zip > bad/cut.zip; rm bad/b.zip
unpack answer OK -- bad/cut.zip
asked "msgbox: Error | 書庫の解凍に失敗しました。" "damaged archive"
[[ $(tree bad) == ./cut.zip ]] || fail "damaged archive left: $(tree bad)"
mk badlha a.lzh lha
head -c 1500 badlha/a.lzh > badlha/cut.lzh; rm badlha/a.lzh
unpack answer OK -- badlha/cut.lzh
asked "msgbox: Error | 書庫の解凍に失敗しました。" "damaged LHA archive"
[[ $(tree badlha) == ./cut.lzh ]] || fail "damaged LHA archive left: $(tree badlha)"

# One damaged entry among good ones: the failure is reported and the good
# entries stay where they went.
mk part b.zip zip
python3 - part/b.zip <<'PY'
import sys, zipfile
p = sys.argv[1]
z = zipfile.ZipFile(p)
i = z.getinfo("sub/b.bin")
data = bytearray(open(p, "rb").read())
at = i.header_offset + 30 + len(i.filename.encode()) + len(i.extra) + i.compress_size // 2
data[at] ^= 0xFF
open(p, "wb").write(data)
PY
unpack answer OK -- part/b.zip
asked "msgbox: Error | 書庫の解凍に失敗しました。" "one damaged entry"
cmp -s src/a.txt part/b/a.txt || fail "one damaged entry: the good a.txt is gone: $(tree part)"
[[ -f part/b/sub/empty.txt && ! -e part/b/sub/b.bin ]] || fail "one damaged entry: $(tree part)"

# RAR: one password prompt for all encrypted entries; cancel keeps what was
# extracted and says nothing. A missing volume asks for its disk.
mkrar() { (cd src && timeout 60 $WINE_RUN "$BIN/mkrar.exe" "$@" >/dev/null); }
mkdir -p pw vol
mkrar -5 "$(winpath pw/p.rar)" a.txt=a.txt '!e:s1.txt=a.txt' '!e:s2.txt=a.txt'
# (After the prompt, a second one or a message box would be found and closed.)
beside_any dialog Rar書庫の解凍 controls click キャンセル gone dialog "#32770" 3000 controls click OK click キャンセル \
  -- run pw/p.rar
asked "Static id=101 パスワードの入力" "password prompt"
asked "error: no window #32770" "password cancelled: something more was shown"
cmp -s src/a.txt pw/p/a.txt || fail "password cancelled: the plain entry is gone"
rm -rf pw/p
# Given: the next window is not a second prompt but the stand-in library's
# refusal of what it cannot decode.
beside dialog Rar書庫の解凍 type 0 secret click OK gone answer OK -- run pw/p.rar
asked "msgbox: Error | 書庫の解凍に失敗しました。" "password asked more than once"
head -c 120000 "$BIN/unrar.dll" > big.bin
mkrar -5 -v 50000 "$(winpath vol/v.part1.rar)" big.bin=../big.bin
rm vol/v.part2.rar
# Cancelled on the volume prompt: no failure is reported after it.
rm -f "$SCRATCH/opened.txt"
beside_any answer キャンセル gone answer OK 3000 -- run vol/v.part1.rar
asked "v.part2.rar の入ったディスクを入れてください。" "missing volume"
asked "error: no window" "missing volume: the cancel was reported as a failure"
# With no box to wait for, the folder made for the run goes a moment later.
only_volumes_left() { [[ $(tree vol) == $'./v.part1.rar\n./v.part3.rar' ]]; }
poll 20 only_volumes_left || fail "missing volume left: $(tree vol)"

# A folder of its own with the Info-ZIP kind of unzip32.dll and a broken
# unlha32.dll: the zip goes through the option-record entry; a missing
# library and a library without its entry are named.
mkdir iz
cp "$DRV" "$DLL" iz/
cp "$BIN/infozip/unzip32.dll" iz/
DRV="$SCRATCH/iz/shxdrv.exe" DLL="$SCRATCH/iz/tovixu.dll"
mk izzip b.zip zip
unpack izzip/b.zip
same_tree src izzip/b "Info-ZIP kind"
mk izlha a.lzh lha
unpack answer OK -- izlha/a.lzh
asked "msgbox: Error | unlha32.dll が見つかりません。" "missing library"
cp "$BIN/unrar.dll" iz/unlha32.dll
unpack answer OK -- izlha/a.lzh
asked "msgbox: Error | unlha32.dll が異常です。" "library without its entry"
rm iz/unzip32.dll; cp "$BIN/unrar.dll" iz/unzip32.dll
mk izbad b.zip zip
unpack answer OK -- izbad/b.zip
asked "msgbox: Error | unzip32.dll が異常です。" "zip library with neither entry"
[[ $(tree izlha) == ./a.lzh && $(tree izbad) == ./b.zip ]] || fail "refusals left files: $(tree izlha) $(tree izbad)"
echo ok
