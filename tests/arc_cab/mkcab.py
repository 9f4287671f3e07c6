#!/usr/bin/env python3
"""Builds small stored cabinets with chosen names and damage, for the
hostile-input cases: mkcab.py DIR KIND... writes DIR/KIND/h.cab (or
mkcab.py FILE KIND for one)."""
import struct
import sys


def checksum(data, seed=0):
    s = seed
    n = len(data) // 4
    for i in range(n):
        s ^= struct.unpack_from('<I', data, i * 4)[0]
    ul = 0
    rest = data[n * 4:]
    if len(rest) == 3:
        ul = rest[0] << 16 | rest[1] << 8 | rest[2]
    elif len(rest) == 2:
        ul = rest[0] << 8 | rest[1]
    elif len(rest) == 1:
        ul = rest[0]
    return s ^ ul


def cabinet(files, payload, next_name=None, ifold=0):
    """files: list of (name bytes, size); payload: the folder's bytes;
    next_name: the cabinet this one says follows it."""
    recs = b''
    off = 0
    for name, size in files:
        recs += struct.pack('<IIHHHH', size, off, ifold, 0x5A8A, 0x4D3C, 0x20) + name + b'\0'
        off += size
    names = b'' if next_name is None else next_name + b'\0\0'
    coff_files = 36 + len(names) + 8
    coff_data = coff_files + len(recs)
    block = struct.pack('<HH', len(payload), len(payload))
    csum = checksum(block, checksum(payload))
    data = struct.pack('<I', csum) + block + payload
    total = coff_data + len(data)
    flags = 0 if next_name is None else 2
    head = struct.pack('<4sIIIIIBBHHHHH', b'MSCF', 0, total, 0, coff_files, 0, 3, 1, 1, len(files), flags, 0x1234, 0)
    folder = struct.pack('<IHH', coff_data, 1, 0)
    return head + names + folder + recs + data


def make(kind):
    body = b'hostile payload\n'
    cases = {
        'climb': lambda: cabinet([(b'..\\..\\evil.txt', len(body))], body),
        'climb2': lambda: cabinet([(b'sub\\..\\..\\evil.txt', len(body))], body),
        'absolute': lambda: cabinet([(b'\\evil.txt', len(body))], body),
        'drive': lambda: cabinet([(b'C:\\evil.txt', len(body))], body),
        'device': lambda: cabinet([(b'NUL', len(body))], body),
        'good': lambda: cabinet([(b'ok.txt', len(body))], body),
        # Its own next volume, with its file running on into it.
        'loop': lambda: cabinet([(b'ok.txt', len(body))], body, next_name=b'h.cab', ifold=0xFFFE),
    }
    if kind in cases:
        data = cases[kind]()
    elif kind == 'truncated':
        data = cabinet([(b'ok.txt', len(body))], body)[:-6]
    elif kind == 'truncated-header':
        data = cabinet([(b'ok.txt', len(body))], body)[:40]
    elif kind == 'checksum':
        d = bytearray(cabinet([(b'ok.txt', len(body))], body))
        d[-1] ^= 0x55
        data = bytes(d)
    elif kind == 'huge':
        # A file that says it holds nearly 4 GB of a 16-byte folder.
        data = cabinet([(b'huge.txt', 0xFFFFFFF0)], body)
    elif kind == 'many-blocks':
        # A folder that claims 65535 data blocks in a short file.
        d = bytearray(cabinet([(b'ok.txt', len(body))], body))
        struct.pack_into('<H', d, 36 + 4, 0xFFFF)
        data = bytes(d)
    else:
        sys.exit('unknown kind ' + kind)
    return data


def main():
    import os
    out, kinds = sys.argv[1], sys.argv[2:]
    if len(kinds) == 1 and not os.path.isdir(out):
        open(out, 'wb').write(make(kinds[0]))
        return
    for k in kinds:
        os.makedirs(os.path.join(out, k, 'base'), exist_ok=True)
        open(os.path.join(out, k, 'h.cab'), 'wb').write(make(k))


main()
