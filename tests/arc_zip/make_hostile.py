#!/usr/bin/env python3
"""Writes the hostile ZIP archives of hostile_test.sh into the given folder.
Each holds one bad entry and a good one ("ok.txt") that must still come out
where the format allows it."""
import os
import struct
import sys
import zipfile

out = sys.argv[1]
absname = sys.argv[2]  # an absolute Linux path that must never be written
GOOD = b"good data\n" * 50


def build(path, entries, compress=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(path, "w", compress) as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=(2020, 1, 2, 3, 4, 6))
            info.compress_type = compress
            z.writestr(info, data)


def central_records(raw):
    """Offsets of the central directory records and of the end record."""
    end = raw.rfind(b"PK\x05\x06")
    cd_size, cd_off = struct.unpack("<II", raw[end + 12:end + 20])
    recs, p = [], cd_off
    while p < cd_off + cd_size:
        recs.append(p)
        n, m, k = struct.unpack("<HHH", raw[p + 28:p + 34])
        p += 46 + n + m + k
    return recs, end


def patch(path, fn):
    raw = bytearray(open(path, "rb").read())
    fn(raw)
    open(path, "wb").write(raw)


def put32(raw, at, v):
    raw[at:at + 4] = struct.pack("<I", v)


def P(name):
    return os.path.join(out, name)


# Names that climb out, are absolute or carry a drive letter.
build(P("climb.zip"), [("../evil.txt", b"x"), ("a/../../evil2.txt", b"x"), ("ok.txt", GOOD)])
build(P("absolute.zip"), [(absname, b"x"), ("\\rootabs.txt", b"x"), ("ok.txt", GOOD)])
build(P("drive.zip"), [("C:\\drive.txt", b"x"), ("C:drive2.txt", b"x"), ("ok.txt", GOOD)])
build(P("device.zip"), [("CON", b"x"), ("sub/nul.txt", b"x"), ("ok.txt", GOOD)])

# A deflate stream cut short: the recorded compressed size is halved.
build(P("truncated.zip"), [("big.txt", b"0123456789abcdef" * 4000 + os.urandom(3000)), ("ok.txt", GOOD)])
def cut(raw):
    recs, _ = central_records(raw)
    r = recs[0]
    csize = struct.unpack("<I", raw[r + 20:r + 24])[0]
    put32(raw, r + 20, csize // 2)
    lh = struct.unpack("<I", raw[r + 42:r + 46])[0]
    put32(raw, lh + 18, csize // 2)
patch(P("truncated.zip"), cut)

# A stored entry whose recorded CRC is wrong.
build(P("badcrc.zip"), [("crc.txt", b"checksum me\n" * 10), ("ok.txt", GOOD)], zipfile.ZIP_STORED)
def crc(raw):
    recs, _ = central_records(raw)
    r = recs[0]
    v = struct.unpack("<I", raw[r + 16:r + 20])[0] ^ 0x5A5A5A5A
    put32(raw, r + 16, v)
    lh = struct.unpack("<I", raw[r + 42:r + 46])[0]
    put32(raw, lh + 14, v)
patch(P("badcrc.zip"), crc)

# A tiny entry that declares almost 4 GiB.
build(P("huge.zip"), [("huge.txt", b"a" * 1000), ("ok.txt", GOOD)])
def huge(raw):
    recs, _ = central_records(raw)
    put32(raw, recs[0] + 24, 0xFFFFFFF0)
patch(P("huge.zip"), huge)

# Two directory records over one local entry (overlapping data).
build(P("overlap.zip"), [("one.txt", b"z" * 5000), ("two.txt", b"y" * 5000), ("ok.txt", GOOD)])
def overlap(raw):
    recs, _ = central_records(raw)
    first = struct.unpack("<I", raw[recs[0] + 42:recs[0] + 46])[0]
    put32(raw, recs[1] + 42, first)
patch(P("overlap.zip"), overlap)

# A central directory that claims more bytes than there are before it.
build(P("cdsize.zip"), [("ok.txt", GOOD)])
def cdsize(raw):
    _, end = central_records(raw)
    put32(raw, end + 12, 0x7FFFFFFF)
patch(P("cdsize.zip"), cdsize)

# A directory record whose name runs past the directory's end.
build(P("cdname.zip"), [("ok.txt", GOOD)])
def cdname(raw):
    recs, _ = central_records(raw)
    raw[recs[0] + 28:recs[0] + 30] = struct.pack("<H", 0xFFFF)
patch(P("cdname.zip"), cdname)

# A ZIP64 locator pointing at itself.
build(P("zip64loop.zip"), [("ok.txt", GOOD)])
def z64(raw):
    _, end = central_records(raw)
    loc = struct.pack("<IIQI", 0x07064B50, 0, end - 20, 1)
    raw[end:end] = b"\0" * 56 + loc  # room so that a locator stands right before the end record
    end += 76
    put32(raw, end - 20, 0x07064B50)
    raw[end - 12:end - 4] = struct.pack("<Q", end - 20)
patch(P("zip64loop.zip"), z64)

# Only the first 100 bytes of an archive, and plain garbage.
build(P("whole.zip"), [("ok.txt", GOOD)])
raw = open(P("whole.zip"), "rb").read()
open(P("cut.zip"), "wb").write(raw[:100])
open(P("garbage.zip"), "wb").write(os.urandom(5000))
os.remove(P("whole.zip"))
