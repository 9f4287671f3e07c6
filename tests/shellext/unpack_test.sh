#!/usr/bin/env bash
# The unpack extension end to end: archives made by the peer tools are
# extracted next to themselves through the real archiver libraries, byte for
# byte, with nothing written anywhere else; the keys, the folder picker and
# every refusal answered headless.
source "$TOOLS/lib.sh"
cd "$SCRATCH"
UNPACK='{34869A81-2706-11D3-9EE0-89A6F700B519}'
DRV="$BIN/shxdrv.exe" DLL="$BIN/tovixu.dll"
# unpack ANSWERS ARCHIVE: the command on one archive; the trace lands in trace.txt.
unpack() {
  : > "$SCRATCH/trace.raw"
  TOVIX_ANSWERS="$1" TOVIX_TRACE="$(winpath "$SCRATCH/trace.raw")" timeout 120 \
    $WINE_RUN "$DRV" invoke "$(winpath "$DLL")" "$UNPACK" "$(winpath "$2")" | tr -d '\r' > "$SCRATCH/out.txt"
  iconv -f CP932 -t UTF-8 "$SCRATCH/trace.raw" | tr -d '\r' > "$SCRATCH/trace.txt"
  grep -qxF "invoke 00000000" "$SCRATCH/out.txt" || fail "invoke on $2: $(cat "$SCRATCH/out.txt")"
}
traced() { grep -qF -- "$1" trace.txt || fail "$2: expected '$1' in the trace: $(cat trace.txt)"; }
untraced() { ! grep -qF -- "$1" trace.txt || fail "$2: did not expect '$1' in the trace: $(cat trace.txt)"; }
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
while IFS='|' read -r dir name how into cmd; do
  mk "$dir" "$name" "$how"
  before=$(tree "$dir")
  unpack "none=0" "$dir/$name"
  [[ -z $cmd ]] || traced "$cmd" "$name command"
  untraced "open folder" "$name"
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

# Ctrl: straight into the archive's folder.
mk ctrl a.lzh lha
unpack "ctrl=1" ctrl/a.lzh
same_tree src/sub ctrl/sub "ctrl"
cmp -s src/a.txt ctrl/a.txt || fail "ctrl: a.txt"

# Shift: the picker opens on the archive's folder. The same folder opens no
# window; another one opens the extraction folder; cancel does nothing.
mk shift a.lzh lha
mkdir -p elsewhere
unpack "shift=1;folder=$(winpath shift)" shift/a.lzh
traced "folder: 解凍先の選択 $(winpath shift)" "shift picker"
same_tree src shift/a "shift, same folder"
untraced "open folder" "shift, same folder"
unpack "shift=1;folder=$(winpath elsewhere)" shift/a.lzh
same_tree src elsewhere/a "shift, other folder"
traced "open folder $(winpath elsewhere/a)" "shift, other folder"
rm -rf shift/a
unpack "shift=1;folder=cancel" shift/a.lzh
[[ $(tree shift) == ./a.lzh ]] || fail "picker cancelled, yet: $(tree shift)"
[[ ! -s trace.txt ]] || grep -q '^folder: ' trace.txt && ! grep -qv '^folder: ' trace.txt || fail "cancel said: $(cat trace.txt)"

# The target folder exists already: extraction goes into it.
mk exist a.lzh lha
mkdir exist/a; echo keep > exist/a/keep.txt
unpack "none=0" exist/a.lzh
same_tree src/sub exist/a/sub "existing folder"
[[ $(cat exist/a/keep.txt) == keep ]] || fail "existing folder lost its file"

# A file of the target name: the folder message, nothing extracted.
mk isfile a.lzh lha
echo x > isfile/a
unpack "none=0" isfile/a.lzh
traced "MessageBox: フォルダが作成できませんでした。" "file in the way"
[[ $(tree isfile) == $'./a\n./a.lzh' ]] || fail "file in the way: $(tree isfile)"

# A damaged archive: the failure message, and the folder it made is gone.
mk bad b.zip zip
head -c 3000 bad/b.zip > bad/cut.zip; rm bad/b.zip
unpack "none=0" bad/cut.zip
traced "MessageBox: 書庫の解凍に失敗しました。" "damaged archive"
[[ $(tree bad) == ./cut.zip ]] || fail "damaged archive left: $(tree bad)"
mk badlha a.lzh lha
head -c 1500 badlha/a.lzh > badlha/cut.lzh; rm badlha/a.lzh
unpack "none=0" badlha/cut.lzh
traced "MessageBox: 書庫の解凍に失敗しました。" "damaged LHA archive"
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
unpack "none=0" part/b.zip
traced "MessageBox: 書庫の解凍に失敗しました。" "one damaged entry"
cmp -s src/a.txt part/b/a.txt || fail "one damaged entry: the good a.txt is gone: $(tree part)"
[[ -f part/b/sub/empty.txt && ! -e part/b/sub/b.bin ]] || fail "one damaged entry: $(tree part)"

# RAR: one password prompt for all encrypted entries; cancel keeps what was
# extracted and says nothing. A missing volume asks for its disk.
mkrar() { (cd src && timeout 60 $WINE_RUN "$BIN/mkrar.exe" "$@" >/dev/null); }
mkdir -p pw vol
mkrar -5 "$(winpath pw/p.rar)" a.txt=a.txt '!e:s1.txt=a.txt' '!e:s2.txt=a.txt'
unpack "password=cancel" pw/p.rar
[[ $(grep -c '^password: パスワードの入力' trace.txt) == 1 ]] || fail "password prompt: $(cat trace.txt)"
untraced "MessageBox" "password cancelled"
cmp -s src/a.txt pw/p/a.txt || fail "password cancelled: the plain entry is gone"
rm -rf pw/p
unpack "password=secret" pw/p.rar
[[ $(grep -c '^password: ' trace.txt) == 1 ]] || fail "password asked more than once: $(cat trace.txt)"
head -c 120000 "$BIN/unrar.dll" > big.bin
mkrar -5 -v 50000 "$(winpath vol/v.part1.rar)" big.bin=../big.bin
rm vol/v.part2.rar
unpack "none=0" vol/v.part1.rar
traced "v.part2.rar の入ったディスクを入れてください。" "missing volume"
[[ $(tree vol) == $'./v.part1.rar\n./v.part3.rar' ]] || fail "missing volume left: $(tree vol)"

# A folder of its own with the Info-ZIP kind of unzip32.dll and a broken
# unlha32.dll: the zip goes through the option-record entry; a missing
# library and a library without its entry are named.
mkdir iz
cp "$DRV" "$DLL" iz/
cp "$BIN/infozip/unzip32.dll" iz/
DRV="$SCRATCH/iz/shxdrv.exe" DLL="$SCRATCH/iz/tovixu.dll"
mk izzip b.zip zip
unpack "none=0" izzip/b.zip
same_tree src izzip/b "Info-ZIP kind"
mk izlha a.lzh lha
unpack "none=0" izlha/a.lzh
traced "MessageBox: unlha32.dll が見つかりません。" "missing library"
cp "$BIN/unrar.dll" iz/unlha32.dll
unpack "none=0" izlha/a.lzh
traced "MessageBox: unlha32.dll が異常です。" "library without its entry"
rm iz/unzip32.dll; cp "$BIN/unrar.dll" iz/unzip32.dll
mk izbad b.zip zip
unpack "none=0" izbad/b.zip
traced "MessageBox: unzip32.dll が異常です。" "zip library with neither entry"
[[ $(tree izlha) == ./a.lzh && $(tree izbad) == ./b.zip ]] || fail "refusals left files: $(tree izlha) $(tree izbad)"
echo ok
