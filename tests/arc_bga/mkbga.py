#!/usr/bin/env python3
"""GZA/BZA entries written straight from the documented layout, for
fixtures and hostile input: mkbga.py DIR KIND... writes DIR/KIND/h.gza (or
mkbga.py FILE KIND for one)."""
import bz2
import struct
import sys
import zlib

DATE, TIME = 0x58A6, 0x3905  # 2024-05-06 07:08:10


def entry(name, data, method=b'STOR', attribs=0x20, packed=None, size=None, crc=None, csum_fix=0):
    if method == b'DEFL':
        c = zlib.compressobj(6, zlib.DEFLATED, -15)
        body = c.compress(data) + c.flush()
    elif method == b'BZP2':
        body = bz2.compress(data, 9)
    else:
        body = data
    fields = struct.pack('<4sIIIHHHHH', method, len(body) if packed is None else packed,
                         len(data) if size is None else size,
                         zlib.crc32(data) if crc is None else crc, TIME, DATE, attribs, 0, len(name)) + name
    return struct.pack('<H', (sum(fields) + csum_fix) & 0xFFFF) + fields + body


text = b'GZA and BZA fixture text\r\n' * 20
cases = {
    'mixed': lambda: entry(b'stored.txt', b'hi\r\n') + entry(b'sub\\defl.txt', text, b'DEFL') +
    entry(b'\x83\x5c.txt', text, b'BZP2'),
    'climb': lambda: entry(b'..\\evil.txt', b'x'),
    'absolute': lambda: entry(b'\\evil.txt', b'x'),
    'drive': lambda: entry(b'C:evil.txt', b'x'),
    'truncated': lambda: entry(b'ok.txt', text, b'DEFL')[:-5],
    'truncated-header': lambda: entry(b'ok.txt', text)[:20],
    'header-checksum': lambda: entry(b'ok.txt', text, csum_fix=1),
    'crc': lambda: entry(b'ok.txt', text, b'DEFL', crc=0x12345678),
    'huge': lambda: entry(b'huge.txt', text, b'DEFL', size=0xFFFFFFF0),
    'short': lambda: entry(b'ok.txt', text, b'BZP2', size=len(text) - 1),
    'bad-data': lambda: (lambda e: e[:34] + b'\xff' * (len(e) - 34))(entry(b'ok.txt', text, b'DEFL')),
    'garbage-after': lambda: entry(b'ok.txt', b'hi') + b'\x00\x01garbage',
}


def make(kind):
    return cases[kind]()


def main():
    import os
    out, kinds = sys.argv[1], sys.argv[2:]
    if len(kinds) == 1 and not os.path.isdir(out):
        open(out, 'wb').write(make(kinds[0]))
        return
    for k in kinds:
        os.makedirs(os.path.join(out, k, 'base'), exist_ok=True)
        open(os.path.join(out, k, 'h.gza'), 'wb').write(make(k))


main()
