#!/usr/bin/env bash
# Every library's archive check on containers made by real tools (tar, LHA,
# stored ZIP, cabinet, GZA, BZA) that hold another archive first, in the
# middle or last: only the container's own library may answer, whatever the
# inner format, and the engine takes the container's type. Programs with an
# archive behind them still count. Then a ZIP delete handed a tar that ends
# in a ZIP refuses it and leaves it as it was.
source "$TOOLS/lib.sh"
cd "$SCRATCH"
W() { winpath "$1"; }

mkdir -p in
seq 1 400 >in/x.txt
(cd in && jlha aq ../inner.lzh x.txt >/dev/null 2>&1)
(cd in && zip -q ../inner.zip x.txt)
(cd in && arj a ../inner.arj x.txt >/dev/null)
(cd in && gcab -c ../inner.cab x.txt)
(cd in && tar -cf ../inner.tar x.txt)
# GZA and BZA: stored entries after the documented layout.  mkbga OUT FILES...
mkbga() {
  python3 - "$@" <<'PY'
import struct, sys, zlib
out = open(sys.argv[1], 'wb')
for n in sys.argv[2:]:
    data = open(n, 'rb').read()
    name = n.split('/')[-1].encode()
    fields = struct.pack('<4sIIIHHHHH', b'STOR', len(data), len(data), zlib.crc32(data), 0x3905, 0x58A6, 0x20, 0,
                         len(name)) + name
    out.write(struct.pack('<H', sum(fields) & 0xFFFF) + fields + data)
PY
}
mkbga inner.gza in/x.txt
mkbga inner.bza in/x.txt
seq 1000 1600 >filler.txt

# pack KIND OUT FILES... (in the current folder, in the order given)
pack() {
  local kind=$1 out=$2; shift 2
  case $kind in
    tar) tar -cf "$out" "$@" ;;
    lzh) jlha azq "$out" "$@" >/dev/null 2>&1 ;;
    zip) zip -q -0 "$out" "$@" ;;
    cab) gcab -c "$out" "$@" ;;
    arj) arj a -m0 "$out" "$@" >/dev/null ;;
    gza | bza) mkbga "$out" "$@" ;;
  esac
  [ -s "$out" ] || fail "could not make $out"
}

# The libraries in the engine's order of asking, and the tar library last.
libs=(unlha32.dll:Unlha unzip32.dll:UnZip unarj32j.dll:Unarj cab32.dll:Cab bga32.dll:Bga tar32.dll:Tar)
own() {  # container kind -> its library's prefix
  case $1 in lzh) echo Unlha ;; zip) echo UnZip ;; arj) echo Unarj ;; cab) echo Cab ;; gza | bza) echo Bga ;; tar) echo Tar ;; esac
}
mode() {  # the library's prefix -> the engine's type
  case $1 in Unlha) echo lha ;; UnZip) echo zip ;; Unarj) echo arj ;; Cab) echo cab ;; Bga) echo bga ;; Tar) echo tar ;; esac
}

mkdir -p c
files=() expect=()
for outer in tar lzh zip cab gza bza; do
  for inner in lzh zip arj cab gza bza tar; do
    for where in first middle last; do
      d="m-$outer-$inner-$where"
      rm -rf "$d" && mkdir "$d"
      case $where in
        first) cp "inner.$inner" "$d/0.$inner" && cp filler.txt "$d/1.txt" ;;
        middle) cp filler.txt "$d/0.txt" && cp "inner.$inner" "$d/1.$inner" && cp filler.txt "$d/2.txt" ;;
        last) cp filler.txt "$d/0.txt" && cp "inner.$inner" "$d/1.$inner" ;;
      esac
      out="$SCRATCH/c/$outer-$inner-$where.$outer"
      (cd "$d" && pack "$outer" "$out" $(ls))
      files+=("$out")
      expect+=("$(own "$outer")")
    done
  done
done
# Programs with an archive appended (self-extractors): still the archive.
cp "$BIN/arcdrv.exe" c/prog-zip.exe && cat inner.zip >>c/prog-zip.exe
cp c/prog-zip.exe c/prog-zipA.exe && zip -qA c/prog-zipA.exe
cp "$BIN/arcdrv.exe" c/prog-arj.exe && cat inner.arj >>c/prog-arj.exe
files+=("$SCRATCH/c/prog-zip.exe" "$SCRATCH/c/prog-zipA.exe" "$SCRATCH/c/prog-arj.exe")
expect+=(UnZip UnZip Unarj)
# Self-extractors (the program, then the archive) whose archive holds
# another archive stored first: the one behind the program counts, never the
# one inside it. ZIP also with its offsets counted from the file's start.
sfx=()
for outer in lzh zip arj cab gza bza; do
  for inner in lzh zip arj cab gza bza tar; do
    [ $outer = $inner ] && continue
    d="s-$outer-$inner"
    rm -rf "$d" && mkdir "$d" && cp "inner.$inner" "$d/0.$inner" && cp filler.txt "$d/1.txt"
    (cd "$d" && pack "$outer" "$SCRATCH/c/a.$outer" 0.$inner 1.txt)
    out="$SCRATCH/c/sfx-$outer-$inner.exe"
    cat "$BIN/arcdrv.exe" "c/a.$outer" >"$out" && rm "c/a.$outer"
    files+=("$out") expect+=("$(own "$outer")") sfx+=("$out:$(own "$outer"):0.$inner")
    if [ $outer = zip ]; then
      cp "$out" "c/sfx-zipA-$inner.exe" && zip -qA "c/sfx-zipA-$inner.exe"
      files+=("$SCRATCH/c/sfx-zipA-$inner.exe") expect+=(UnZip) sfx+=("$SCRATCH/c/sfx-zipA-$inner.exe:UnZip:0.$inner")
    fi
  done
done

winfiles=()
for f in "${files[@]}"; do winfiles+=("$(W "$f")"); done
declare -A answers
for lib in "${libs[@]}"; do
  dll=${lib%%:*} prefix=${lib#*:}
  mapfile -t got < <(arcdrv "$dll" "$prefix" check "${winfiles[@]}" | tr -d '\r')
  [ "${#got[@]}" = "${#files[@]}" ] || fail "$dll: ${#got[@]} answers for ${#files[@]} files"
  for i in "${!files[@]}"; do answers[$prefix,$i]=${got[$i]}; done
done
bad=0
for i in "${!files[@]}"; do
  yes=""
  for lib in "${libs[@]}"; do
    prefix=${lib#*:}
    [ "${answers[$prefix,$i]}" = 1 ] && yes+="$prefix "
  done
  if [ "$yes" != "${expect[$i]} " ]; then
    echo "$(basename "${files[$i]}"): answered by '${yes% }', want '${expect[$i]}'" >&2
    bad=1
  fi
done
[ $bad = 0 ] || fail "archive checks disagree with the formats"
# The engine asks those checks in its order, then goes by the extension.
mapfile -t modes < <(winrun "$BIN/engdetect.exe" "${winfiles[@]}" | tr -d '\r')
[ "${#modes[@]}" = "${#files[@]}" ] || fail "engine: ${#modes[@]} answers for ${#files[@]} files"
for i in "${!files[@]}"; do
  want=$(mode "${expect[$i]}")
  [ "${modes[$i]}" = "$want" ] || { echo "$(basename "${files[$i]}"): engine says ${modes[$i]}, want $want" >&2; bad=1; }
done
[ $bad = 0 ] || fail "the engine's detection disagrees with the formats"
# Each self-extractor lists the outer archive's members.
dllof() {
  case $1 in Unlha) echo unlha32.dll ;; UnZip) echo unzip32.dll ;; Unarj) echo unarj32j.dll ;; Cab) echo cab32.dll ;; Bga) echo bga32.dll ;; esac
}
for s in "${sfx[@]}"; do
  IFS=: read -r f prefix first <<<"$s"
  names=$(arcdrv "$(dllof "$prefix")" "$prefix" list "$(W "$f")" 2>/dev/null | cut -f1 | tr -d '\r' | sed 's,.*[/\\],,' | tr '\n' ' ')
  [ "$names" = "$first 1.txt " ] || { echo "$(basename "$f") lists as: $names" >&2; bad=1; }
done
[ $bad = 0 ] || fail "self-extractors do not list their own archive"
# Deleting a member of a ZIP self-extractor that carries an LZH keeps the
# program and the rest of the ZIP whole.
for f in c/sfx-zip-lzh.exe c/sfx-zipA-lzh.exe; do
  winrun "$BIN/wizdrv.exe" "$(W "$BIN/zip32.dll")" zip "$(W "$f")" "" x 1.txt >del.log 2>&1 || true
  grep -q '^rc=0' del.log || fail "$f: delete failed: $(cat del.log)"
  [ "$(head -c 2 "$f")" = MZ ] || fail "$f: the program is gone"
  names=$(unzip -Z1 "$f" 2>/dev/null | tr '\n' ' ')
  [ "$names" = "0.lzh " ] || fail "$f: after the delete unzip lists: $names"
  unzip -tq "$f" >/dev/null 2>&1 || fail "$f: unzip finds the archive damaged"
done

# The container opens as itself: a tar ending in a ZIP lists the tar's members.
t="$SCRATCH/c/tar-zip-last.tar"
names=$(arcdrv tar32.dll Tar list "$(W "$t")" 2>/dev/null | cut -f1 | tr -d '\r' | tr '\n' ' ')
[ "$names" = "0.txt 1.zip " ] || fail "tar ending in a ZIP lists as: $names"
# Handed to the ZIP libraries anyway, it is no ZIP archive: listing and
# deleting are refused and the tar stays byte for byte.
cp "$t" before.tar
out=$(arcdrv unzip32.dll UnZip list "$(W "$t")" 2>/dev/null | tr -d "\r" || true)
[ "$out" = "open failed" ] || fail "unzip32 opened the tar: $out"
winrun "$BIN/wizdrv.exe" "$(W "$BIN/zip32.dll")" zip "$(W "$t")" "$(W "$SCRATCH")" x x.txt >del.log 2>&1 || true
grep -q '^rc=0' del.log && fail "zip32 deleted from a tar: $(cat del.log)"
cmp -s before.tar "$t" || fail "the tar changed: $(stat -c %s "$t") bytes, was $(stat -c %s before.tar)"
tar -tf "$t" >/dev/null || fail "tar cannot read the tar any more"
echo ok
