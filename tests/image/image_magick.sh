#!/usr/bin/env bash
# The image library on BMP files written by ImageMagick (and an RLE4 file,
# which ImageMagick reads but does not write): every picture must read as
# ImageMagick reads it, and ImageMagick must read our RLE encodings.
source "$TOOLS/lib.sh"
command -v convert >/dev/null || { echo "SKIP: no ImageMagick"; exit 0; }
cd "$SCRATCH"
python3 - <<'PY'
import random, struct
r = random.Random(3)
def picture(w, h, n):
    return [[(x // 12 + y) % n if (x + 2 * y) % 13 else r.randrange(n) for x in range(w)] for y in range(h)]
def ppm(name, rows, cols):
    px = bytes(c for row in rows for i in row for c in cols[i])
    open(name, 'wb').write(b'P6 %d %d 255\n' % (len(rows[0]), len(rows)) + px)
c8 = [(a * 255, b * 255, c * 255) for a in (0, 1) for b in (0, 1) for c in (0, 1)]
c20 = c8 + [(10 * i, 200 - 5 * i, 30 + 7 * i) for i in range(12)]
ppm('src2.ppm', picture(29, 6, 2), [(0, 0, 0), (255, 255, 255)])
rows8 = picture(29, 6, 8)
rows8[3][0:2] = [0, 0]  # the RLE4 file below skips them by a delta
ppm('src8.ppm', rows8, c8)
ppm('src20.ppm', picture(29, 6, 20), c20)
# ImageMagick encodes the padding of odd widths into its RLE8 runs, which
# the reader refuses as runs past the row; a width of 32 has none.
ppm('src20w32.ppm', picture(32, 6, 20), c20)
# RLE4 by hand: encoded runs, absolute runs of noise, a delta, bottom-up.
W = 29
data = bytearray()
for y, row in enumerate(reversed(rows8)):
    x = 0
    if y == 2:
        data += bytes([0, 2, 2, 0]); x = 2  # skip two pixels: index 0
    while x < W:
        n = 1
        while x + n < W and row[x + n] == row[x]: n += 1
        if n >= 3 or W - x < 3:
            data += bytes([n, row[x] << 4 | row[x]]); x += n
        else:
            k = min(5, W - x)
            nib = row[x:x + k] + [0]
            b = bytes(nib[i] << 4 | nib[i + 1] for i in range(0, k, 2))
            if len(b) % 2: b += b'\0'
            data += bytes([0, k]) + b; x += k
    data += b'\0\0'
data += b'\0\1'
table = b''.join(bytes([b, g, rr, 0]) for rr, g, b in c8) + bytes(4 * 8)
off = 54 + len(table)
hdr = struct.pack('<2sIHHI', b'BM', off + len(data), 0, 0, off)
hdr += struct.pack('<IiiHHIIiiII', 40, W, 6, 1, 4, 2, len(data), 3779, 3779, 16, 0)
open('rle4.bmp', 'wb').write(hdr + table + data)
PY
for f in src*.ppm; do [ -s "$f" ] || fail "no $f"; done
O=(-units PixelsPerInch -density 96)
convert src2.ppm "${O[@]}" -type Palette BMP3:p1.bmp
convert src8.ppm "${O[@]}" -type Palette BMP3:p4.bmp
convert src20.ppm "${O[@]}" -type Palette -compress None BMP3:p8.bmp
convert src20w32.ppm "${O[@]}" -type Palette -compress RLE BMP3:rle8.bmp
convert src20.ppm "${O[@]}" -type TrueColor BMP3:ref24.bmp
printf '%s\n' "p1.bmp 1" "p4.bmp 1" "p8.bmp 1" "rle8.bmp 1" "ref24.bmp 1" "rle4.bmp 1" > list.txt

HVIMAGE_FIXTURES=$(winpath "$SCRATCH") winrun "$BIN/image_test.exe" --gtest_filter='Magick.*' --gtest_brief=1 \
  || fail "image_test on the fixtures"
same() { cmp -s <(convert "$1" -depth 8 rgb:-) <(convert "$2" -depth 8 rgb:-) || fail "$1 and $2 differ"; }
for f in p1 p4 p8 rle8 ref24 rle4; do
  [ -s "$f.bmp.out24.bmp" ] || fail "no 24-bit picture of $f"
  same "$f.bmp" "$f.bmp.out24.bmp"
done
same src8.ppm rle4.bmp
same p8.bmp ours_rle8.bmp
same p4.bmp ours_rle4.bmp
python3 -c "
import struct, sys
for f, comp in (('ours_rle8.bmp', 1), ('ours_rle4.bmp', 2)):
    d = open(f, 'rb').read()
    assert struct.unpack('<I', d[30:34])[0] == comp, f
" || fail "our files are not RLE"
echo "PASS"
