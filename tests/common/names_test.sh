#!/usr/bin/env bash
# Entry names in commands, through every archiver library under Wine: a name
# spelt as a stored entry takes that entry and no other, names that differ
# only in the second byte of a double-byte character are different names,
# and a rename takes whole names. The archives come from zip, jlha, tar, gcab
# and arj where those write the format, else from the libraries themselves.
source "$TOOLS/lib.sh"
source "$TOOLS/beside.sh"
set -E
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
cd "$SCRATCH"
W() { winpath "$1"; }
run() { arcdrv "$1" "$2" cmd "$3" | tr -d '\r'; }
names() { arcdrv "$1" "$2" list "$(W "$3")" | tr -d '\r' | cut -f1 | iconv -f CP932 -t UTF-8 | sort | tr '\n' ' '; }
files() { (cd "$1" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' '); }
cp932() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
sorted() { printf '%s\n' "$@" | sort | tr '\n' ' '; }
expect_rc0() { [[ ${1%%$'\n'*} == rc=0 ]] || fail "$2: $1"; }

# Second bytes that are one letter's two cases: セ 83 5A / ホ 83 7A, ケ 83 50 / パ 83 70.
JP=(セット.txt ホット.txt ケース パース)

# ---- archives made on Linux ----
mkdir -p fx/sub
for n in 'a?.txt' ab.txt sub/ax.txt readme readme.txt; do printf '%s\n' "$n" >"fx/$n"; done
STORED=('a?.txt' ab.txt sub/ax.txt readme readme.txt)
(cd fx && zip -q ../t.zip "${STORED[@]}")
(cd fx && jlha aq ../t.lzh "${STORED[@]}" >/dev/null 2>&1)
(cd fx && tar -cf ../t.tar "${STORED[@]}")
(cd fx && gcab -c ../t.cab "${STORED[@]}" >/dev/null)
(cd fx && arj a ../t.arj "${STORED[@]}" >/dev/null)
# GZA: stored entries written after the format's layout.
python3 - t.gza fx "${STORED[@]}" <<'PY'
import struct, sys, zlib
out, base = open(sys.argv[1], 'wb'), sys.argv[2]
for n in sys.argv[3:]:
    data = open(base + '/' + n, 'rb').read()
    name = n.replace('/', '\\').encode()
    fields = struct.pack('<4sIIIHHHHH', b'STOR', len(data), len(data), zlib.crc32(data), 0x3905, 0x58A6, 0x20, 0,
                         len(name)) + name
    out.write(struct.pack('<H', sum(fields) & 0xFFFF) + fields + data)
PY

# ---- extracting the row "a?.txt" takes that entry alone ----
# Its name cannot be written on Windows, so nothing at all may come out; a
# pattern reading would bring ab.txt and sub/ax.txt.
while IFS='|' read -r dll prefix cmd arc; do
  rm -rf out && mkdir out
  # A library that wrote more than it was asked may also ask about it.
  timeout 60 $WINE_RUN "$BIN/arcdrv.exe" "$(W "$BIN/$dll")" "$prefix" cmd \
    "$cmd \"$(W "$arc")\" \"$(W out)\\\" \"a?.txt\"" </dev/null | tr -d '\r' >log || true
  [[ -z $(files out) ]] || fail "$dll: extracting a?.txt wrote $(files out): $(cat log)"
  grep -q 'a?.txt' log || fail "$dll: the entry a?.txt is not reported: $(cat log)"
done <<'T'
unlha32.dll|Unlha|x -c1 -p2|t.lzh
unarj32j.dll|Unarj|x -c -p1 -hk|t.arj
unzip32.dll|UnZip|-x -o|t.zip
tar32.dll|Tar|-x|t.tar
cab32.dll|Cab|-x -o|t.cab
bga32.dll|Bga|x -o -r|t.gza
T

# ---- deleting the row "a?.txt" ----
cp t.lzh d.lzh && cp t.zip d.zip && cp t.gza d.gza
expect_rc0 "$(run unlha32.dll Unlha "d -p \"$(W d.lzh)\" \"a?.txt\"")" "LHA delete"
winrun "$BIN/wizdrv.exe" "$(W "$BIN/zip32.dll")" zip "$(W d.zip)" "" x 'a?.txt' >zip.log
grep -q '^rc=0' <(tr -d '\r' <zip.log) || fail "ZIP delete: $(cat zip.log)"
expect_rc0 "$(run bga32.dll Bga "d \"$(W d.gza)\" \"a?.txt\"")" "GZA delete"
want=$(sorted ab.txt readme readme.txt sub/ax.txt)
got=$(lha l d.lzh 2>/dev/null | awk 'NR > 2 && /^\[/ {print $NF}' | sort | tr '\n' ' ')
[[ $got == "$want" ]] || fail "LHA delete of a?.txt left: $got"
got=$(unzip -Z1 d.zip | sort | tr '\n' ' ')
[[ $got == "$want" ]] || fail "ZIP delete of a?.txt left: $got"
got=$(names bga32.dll Bga d.gza | tr '\\' /)
[[ $got == "$want" ]] || fail "GZA delete of a?.txt left: $got"

# ---- renaming "readme" leaves "readme.txt" alone ----
rename() { beside dialog 名前の変更 controls type 0 "$1" click OK -- run "$2" "$3" "$4"; }
cp t.lzh r.lzh && cp t.gza r.gza
expect_rc0 "$(rename info unlha32.dll Unlha "n -p \"$(W r.lzh)\" readme")" "LHA rename"
expect_rc0 "$(rename info bga32.dll Bga "n -p \"$(W r.gza)\" readme")" "GZA rename"
got=$(lha l r.lzh 2>/dev/null | awk 'NR > 2 && /^\[/ {print $NF}' | sort | tr '\n' ' ')
[[ $got == "$(sorted 'a?.txt' ab.txt info readme.txt sub/ax.txt)" ]] || fail "LHA rename of readme: $got"
got=$(names bga32.dll Bga r.gza | tr '\\' /)
[[ $got == "$(sorted 'a?.txt' ab.txt info readme.txt sub/ax.txt)" ]] || fail "GZA rename of readme: $got"

# ---- double-byte names that differ in a second byte's letter case ----
mkdir -p jp one
for n in "${JP[@]}"; do printf '%s\n' "$n" >"jp/$n"; done
cp jp/セット.txt one/
all=$(sorted "${JP[@]}")
# Packing the folder keeps all four; cabextract reads the cabinet back.
expect_rc0 "$(run cab32.dll Cab "-a -r \"$(W jp.cab)\" \"$(W jp)\\\" *.*")" "CAB packing"
got=$(cabextract -l jp.cab | awk -F' [|] ' '/^ *[0-9]+ [|]/ {print $3}' | iconv -f CP932 -t UTF-8 | sort | tr '\n' ' ')
[[ $got == "$all" ]] || fail "CAB packing of the four names stored: $got"
# Adding ホット.txt to a cabinet that holds セット.txt adds it.
expect_rc0 "$(run cab32.dll Cab "-a -r \"$(W add.cab)\" \"$(W one)\\\" *.*")" "CAB packing one"
expect_rc0 "$(run cab32.dll Cab "-a -r \"$(W add.cab)\" \"$(W jp)\\\" ホット.txt")" "CAB adding"
[[ $(names cab32.dll Cab add.cab) == "$(sorted セット.txt ホット.txt)" ]] || fail "CAB add: $(names cab32.dll Cab add.cab)"
for arc in jp.gza jp.bza; do
  m=-m1 && [[ $arc == *.bza ]] && m=-m2
  expect_rc0 "$(run bga32.dll Bga "a -r $m \"$(W $arc)\" \"$(W jp)\\\" *.*")" "$arc packing"
  [[ $(names bga32.dll Bga $arc) == "$all" ]] || fail "$arc packing stored: $(names bga32.dll Bga $arc)"
  expect_rc0 "$(rename ホ2.txt bga32.dll Bga "n -p \"$(W $arc)\" ホット.txt")" "$arc rename"
  [[ $(names bga32.dll Bga $arc) == "$(sorted セット.txt ケース パース ホ2.txt)" ]] ||
    fail "$arc rename of ホット.txt: $(names bga32.dll Bga $arc)"
  expect_rc0 "$(run bga32.dll Bga "d \"$(W $arc)\" セット.txt ケース")" "$arc delete"
  [[ $(names bga32.dll Bga $arc) == "$(sorted パース ホ2.txt)" ]] || fail "$arc delete left: $(names bga32.dll Bga $arc)"
done
