#!/usr/bin/env bash
# unzip32.dll, both kinds, on names stored in UTF-8 (flag bit 11 from 7zz, the
# Unicode path extra field hand-made here) and on archives with bytes after
# their end record.
source "$TOOLS/archiver_test.sh"
wiz() { winrun "$BIN/wizdrv.exe" "$(winpath "$BIN/infozip/unzip32.dll")" "$@" | tr -d '\r' | iconv -f CP932 -t UTF-8; }
common_list() { arcdrv unzip32.dll UnZip list "$(W "$1")" 2>/dev/null | tr -d '\r' | iconv -f CP932 -t UTF-8 | cut -f1; }
common_x() { arcdrv unzip32.dll UnZip cmd "-x -o \"$(W "$1")\" \"$(W "$2")\\\"" | tr -d '\r' | iconv -f CP932 -t UTF-8; }

# ---- UTF-8 names (bit 11) ----
# Names the code page holds come out as they are; a character it lacks gets
# a substitute that keeps the entry apart from every other one: "café.txt"
# must not become "cafe.txt", nor "€uro.txt" the "#U20ACuro.txt" stored
# beside it.
mkdir -p u/表だよ
printf 'file\n' > u/表だよ/ファイル.txt
printf 'euro\n' > u/€uro.txt
printf 'accent\n' > u/café.txt
printf 'plain\n' > u/cafe.txt
printf 'literal\n' > 'u/#U20ACuro.txt'
printf 'astral\n' > u/😀.txt
(cd u && 7zz a -bd -y -mcu=on ../u8.zip . >/dev/null)
python3 -c "import zipfile,sys; sys.exit(0 if zipfile.ZipFile('u8.zip').getinfo('€uro.txt').flag_bits & 0x800 else 1)" ||
  fail "7zz did not flag the UTF-8 names"
# name in the archive | name listed and written | bytes
cases="表だよ/ファイル.txt|表だよ/ファイル.txt|file
€uro.txt|#U20ACuro~2.txt|euro
café.txt|caf#U00E9.txt|accent
cafe.txt|cafe.txt|plain
#U20ACuro.txt|#U20ACuro.txt|literal
😀.txt|#U1F600.txt|astral"
common_list u8.zip > u8.common
wiz list "$(W u8.zip)" | cut -f1 > u8.wiz
common_x u8.zip out-c > u8.clog
wiz extract "$(W u8.zip)" "$(W out-w)" do > u8.wlog
while IFS='|' read -r stored shown bytes; do
  for k in common wiz; do gq -xF -- "$shown" u8.$k || fail "$k kind lists $stored as: $(cat u8.$k)"; done
  for d in out-c out-w; do [ "$(cat "$d/$shown" 2>/dev/null)" = "$bytes" ] || fail "$stored not written as $d/$shown: $(ls -R $d)"; done
  if [ "$stored" != "$shown" ]; then
    gq -F "Renamed : $shown (" u8.clog || fail "the log does not say $stored was renamed: $(cat u8.clog)"
    gq -F "Renamed : $shown (" u8.wlog || fail "the Info-ZIP kind's log does not say $stored was renamed"
  fi
done <<<"$cases"
[ "$(find out-c -type f | wc -l)" = 6 ] || fail "entries lost or added: $(find out-c)"
gq '^rc=0' u8.clog || fail "extraction of UTF-8 names: $(cat u8.clog)"

# Names as macOS writes them: decomposed ("ハ" and a combining mark for "パ")
# and with the wave dash's other code point; both are characters the code
# page holds, so no substitute.
python3 - <<'PY'
import unicodedata, zipfile
with zipfile.ZipFile("mac.zip", "w") as z:
    z.writestr(unicodedata.normalize("NFD", "パンだ.txt"), "pan\n")
    z.writestr("\u301c.txt", "wave\n")
PY
printf '%s\n' パンだ.txt ～.txt > mac.want
common_list mac.zip > mac.common
diff mac.want mac.common >/dev/null || fail "macOS names listed as: $(cat mac.common)"
common_x mac.zip out-mac > mac.log
[ "$(cat out-mac/パンだ.txt)" = pan ] && [ "$(cat out-mac/～.txt)" = wave ] && ! gq Renamed mac.log ||
  fail "macOS names extracted as: $(cat mac.log; ls out-mac)"

# ---- the Unicode path extra field (0x7075) ----
# Written by tools on systems whose code page is not the archive's: the
# stored name is that code page's (here: unreadable), the field holds the
# real one with the CRC of the stored name. A stale CRC (the entry renamed
# by a tool that kept the field) means the stored name wins.
python3 - <<'PY'
import struct, zlib
def zipfile_bytes(entries):
    local, central = b"", b""
    for raw, unicode_name, crc_of, data in entries:
        extra = b""
        if unicode_name is not None:
            u = unicode_name.encode("utf-8")
            body = b"\x01" + struct.pack("<I", zlib.crc32(crc_of)) + u
            extra = struct.pack("<HH", 0x7075, len(body)) + body
        crc = zlib.crc32(data)
        head = struct.pack("<IHHHHHIIIHH", 0x04034b50, 10, 0, 0, 0, 0x5021, crc, len(data), len(data), len(raw), len(extra))
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014b50, 20, 10, 0, 0, 0, 0x5021, crc, len(data), len(data),
                               len(raw), len(extra), 0, 0, 0, 0x20, len(local)) + raw + extra
        local += head + raw + extra + data
    end = struct.pack("<IHHHHIIH", 0x06054b50, 0, 0, len(entries), len(entries), len(central), len(local), 0)
    return local + central + end
open("up.zip", "wb").write(zipfile_bytes([
    (b"\x95\x5c?.txt", "表だよ/ファイル.txt", b"\x95\x5c?.txt", b"unicode\n"),
    (b"stale.txt", "renamed.txt", b"old name.txt", b"stale\n"),
    (b"euro-\xa4.txt", "€.txt", b"euro-\xa4.txt", b"euro\n"),
]))
PY
printf '%s\n' 表だよ/ファイル.txt stale.txt '#U20AC.txt' > up.want
common_list up.zip > up.common
diff up.want up.common >/dev/null || fail "common kind lists the Unicode path field: $(cat up.common)"
wiz list "$(W up.zip)" | cut -f1 | head -3 > up.wiz
diff up.want up.wiz >/dev/null || fail "Info-ZIP kind lists the Unicode path field: $(cat up.wiz)"
common_x up.zip out-up > up.log
[ "$(cat out-up/表だよ/ファイル.txt)" = unicode ] && [ "$(cat out-up/stale.txt)" = stale ] &&
  [ "$(cat 'out-up/#U20AC.txt')" = euro ] || fail "Unicode path field extraction: $(cat up.log; ls -R out-up)"

# ---- bytes after the end record ----
# Padding from a transfer or a disk image: the archive still opens, lists
# and extracts with both kinds. The same bytes after a ZIP stored at the end
# of another file (a tar) do not make that file a ZIP.
mkdir -p p/sub && printf 'one\n' > p/a.txt && seq 1 500 > p/sub/b.txt
(cd p && zip -qr ../base.zip .)
for pad in zeros5 zeros512 junk7 pk4; do
  cp base.zip $pad.zip
  case $pad in
    zeros5) head -c 5 /dev/zero >> $pad.zip ;;
    zeros512) head -c 512 /dev/zero >> $pad.zip ;;
    junk7) printf 'garbage' >> $pad.zip ;;
    pk4) printf 'PK\005\006' >> $pad.zip ;;  # a cut-off end signature
  esac
  [ "$(arcdrv unzip32.dll UnZip check "$(W $pad.zip)" | tr -d '\r')" = 1 ] || fail "$pad: CheckArchive"
  [ "$(common_list $pad.zip | sort | tr '\n' ' ')" = "a.txt sub/ sub/b.txt " ] || fail "$pad: common listing"
  [ "$(wiz list "$(W $pad.zip)" | tail -1)" = rc=0 ] || fail "$pad: Info-ZIP listing"
  common_x $pad.zip out-$pad > $pad.log
  diff -r p out-$pad >/dev/null || fail "$pad: extraction: $(cat $pad.log)"
done
tar -cf tarred.zip -C p a.txt -C .. base.zip
[ "$(arcdrv unzip32.dll UnZip check "$(W tarred.zip)" | tr -d '\r')" = 0 ] || fail "a tar ending in a ZIP taken for a ZIP"
echo "names tests passed"
