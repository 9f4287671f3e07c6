#!/usr/bin/env bash
# Hostile and damaged archives: each is refused or reported, nothing lands
# outside the base folder, and the library never crashes or hangs.
source "$TOOLS/archiver_test.sh"
mkdir -p work/base outside

python3 - <<'PY'
import io, tarfile, gzip, bz2

def tar(name, members, fmt=tarfile.GNU_FORMAT):
    with tarfile.open(name, "w", format=fmt) as t:
        for m in members:
            info = tarfile.TarInfo(m["name"])
            data = m.get("data", b"")
            info.type = m.get("type", tarfile.REGTYPE)
            info.linkname = m.get("link", "")
            info.size = len(data) if info.type == tarfile.REGTYPE else 0
            t.addfile(info, io.BytesIO(data) if info.type == tarfile.REGTYPE else None)

tar("dotdot.tar", [{"name": "../../outside/evil1.txt", "data": b"x"}, {"name": "ok1.txt", "data": b"ok"}])
tar("absolute.tar", [{"name": "/tmp/evil2.txt", "data": b"x"}, {"name": "C:/evil3.txt", "data": b"x"}, {"name": "ok2.txt", "data": b"ok"}])
tar("symlink.tar", [{"name": "link", "type": tarfile.SYMTYPE, "link": "../../outside"},
                    {"name": "link/evil4.txt", "data": b"x"},
                    {"name": "abslink", "type": tarfile.SYMTYPE, "link": "/tmp"}])
tar("hardlink.tar", [{"name": "real.txt", "data": b"real"}, {"name": "hard.txt", "type": tarfile.LNKTYPE, "link": "real.txt"},
                     {"name": "hard2.txt", "type": tarfile.LNKTYPE, "link": "../../outside/secret"}])
tar("paxdotdot.tar", [{"name": "../" * 3 + "outside/" + "p" * 120 + ".txt", "data": b"x"}], tarfile.PAX_FORMAT)
tar("longdotdot.tar", [{"name": "../" * 3 + "outside/" + "q" * 120 + ".txt", "data": b"x"}], tarfile.GNU_FORMAT)

# A declared size far beyond the data that follows (base-256 size field).
hdr = bytearray(tarfile.TarInfo("huge.bin").tobuf(tarfile.GNU_FORMAT))
hdr[124:136] = b"\x80" + (1 << 62).to_bytes(11, "big")
hdr[148:156] = b"        "
chk = sum(hdr[:512])
hdr[148:156] = ("%06o\0 " % chk).encode()
open("huge.tar", "wb").write(bytes(hdr[:512]) + b"A" * 4096)

data = b"".join(b"line %d\n" % i for i in range(20000))
tar("good.tar", [{"name": "file.txt", "data": data}])
good = open("good.tar", "rb").read()
open("truncated.tar", "wb").write(good[: len(good) // 3])
gz = gzip.compress(good)
open("truncated.tgz", "wb").write(gz[: len(gz) // 2])
bad = bytearray(gz); bad[-8] ^= 0xFF          # CRC in the gzip trailer
open("badcrc.tgz", "wb").write(bytes(bad))
open("badcrc.gz", "wb").write(bytes(bad))     # the same as one stream: its content is good.tar
bz = bz2.compress(good)
open("truncated.tar.bz2", "wb").write(bz[: len(bz) // 2])
bad = bytearray(bz); bad[len(bz) // 2] ^= 0x10
open("badcrc.tar.bz2", "wb").write(bytes(bad))
bad = bytearray(bz); bad[-3] ^= 0x01          # the stream CRC
open("badstreamcrc.tar.bz2", "wb").write(bytes(bad))
hdr = bytearray(good[:512]); hdr[0] ^= 0x01   # header checksum no longer holds
open("badheader.tar", "wb").write(bytes(hdr) + good[512:])
open("garbage.tar", "wb").write(b"\x1f\x8b" + bytes(range(256)) * 4)
open("garbage.bz2", "wb").write(b"BZh9" + bytes(range(256)) * 40)
open("garbage.Z", "wb").write(b"\x1f\x9d\x90" + bytes(range(255, 0, -1)) * 40)
open("empty.tar", "wb").write(b"")

# Tar has no offsets to loop on; the nearest thing is metadata that never
# ends: a long-name record declaring a terabyte, and long-name records one
# after another with no entry behind them.
def meta(kind, size, body=b""):
    h = bytearray(tarfile.TarInfo("././@LongLink").tobuf(tarfile.GNU_FORMAT)[:512])
    h[156] = ord(kind)
    h[124:136] = b"\x80" + size.to_bytes(11, "big")
    h[148:156] = b"        "
    h[148:156] = ("%06o\0 " % sum(h)).encode()
    return bytes(h) + body + b"\0" * (-len(body) % 512)
open("metahuge.tar", "wb").write(meta("L", 1 << 40) + b"n" * 4096)
open("metachain.tar", "wb").write(b"".join(meta("L", 600, b"n" * 600) for _ in range(3000)))

# Sparse maps that do not fit their file or their data, one of each kind of
# map tar writes: fragments out of order (pax 0.1), one beyond the real size
# (old GNU header), a fragment without its size (pax 0.0), fragments longer
# than the data stored (pax 1.0, map at the start of the data).
def block(name, size, kind, patch=lambda h: None):
    i = tarfile.TarInfo(name); i.size = size
    h = bytearray(i.tobuf(tarfile.GNU_FORMAT if kind == "S" else tarfile.USTAR_FORMAT)[:512])
    h[156] = ord(kind)
    patch(h)
    h[148:156] = b"        "
    h[148:156] = ("%06o\0 " % sum(h)).encode()
    return bytes(h)
def padded(b): return b + b"\0" * (-len(b) % 512)
def record(key, value):
    body = " %s=%s\n" % (key, value)
    n = len(body) + 1
    while len(str(n)) + len(body) != n: n += 1
    return ("%d%s" % (n, body)).encode()
def pax_sparse(name, records, stored):
    x = b"".join(record(k, v) for k, v in records)
    open(name, "wb").write(block("PaxHeaders/bad.bin", len(x), "x") + padded(x) +
                           block("GNUSparseFile.0/bad.bin", len(stored), "0") + padded(stored) + bytes(1024))
pax_sparse("sparse_order.tar", [("GNU.sparse.size", 8192), ("GNU.sparse.numblocks", 2), ("GNU.sparse.name", "bad.bin"),
                                ("GNU.sparse.map", "4096,512,0,512")], b"d" * 1024)
pax_sparse("sparse_unpaired.tar", [("GNU.sparse.size", 8192), ("GNU.sparse.offset", 0), ("GNU.sparse.numbytes", 512),
                                   ("GNU.sparse.offset", 4096), ("GNU.sparse.name", "bad.bin")], b"d" * 512)
pax_sparse("sparse_short.tar", [("GNU.sparse.major", 1), ("GNU.sparse.minor", 0), ("GNU.sparse.name", "bad.bin"),
                                ("GNU.sparse.realsize", 8192)], padded(b"2\n0\n512\n4096\n512\n") + b"d" * 512)
def old_map(h):
    h[386:410] = b"%011o\0%011o\0" % (0, 512)
    h[410:434] = b"%011o\0%011o\0" % (8000, 512)
    h[483:495] = b"%011o\0" % 8192
open("sparse_beyond.tar", "wb").write(block("bad.bin", 1024, "S", old_map) + b"d" * 1024 + bytes(1024))
PY
# A compress stream cut short: no length or check of its own, so the tar
# inside must notice.
compress -c good.tar > good.tar.Z
head -c $(($(stat -c %s good.tar.Z) / 2)) good.tar.Z > truncated.tar.Z

run() {  # $1 archive [$2 base folder, work/base unless given]; prints rc line and log
  arcdrv tar32.dll Tar cmd "--display-dialog=0 -x \"$(winpath "$1")\" \"$(winpath "${2:-work/base}")\\\"" | tr -d '\r' | iconv -c -f CP932 -t UTF-8
}
must_refuse() {  # $1 archive, $2 text the log must show [$3 base folder]
  local out; out=$(run "$1" "${3:-}") || fail "$1: driver failed (crash?)"$'\n'"$out"
  [[ $(head -1 <<<"$out") != "rc=0" ]] || fail "$1 answered success"$'\n'"$out"
  grep -q -- "$2" <<<"$out" || fail "$1: log lacks '$2'"$'\n'"$out"
}

must_refuse dotdot.tar "Skipped : ../../outside/evil1.txt"
must_refuse absolute.tar "Skipped : /tmp/evil2.txt"
must_refuse symlink.tar "Skipped : link"
must_refuse paxdotdot.tar "Skipped : ../"
must_refuse longdotdot.tar "Skipped : ../"
[[ -f work/base/ok1.txt && -f work/base/ok2.txt ]] || fail "safe entries beside hostile ones were not extracted"
# The file behind the refused link lands in a real folder inside the base.
[[ -f work/base/link/evil4.txt && ! -L work/base/link ]] || fail "link/evil4.txt"

# Hard links become copies of files extracted in the same run, never of anything else.
must_refuse hardlink.tar "Skipped : hard2.txt"
[[ $(cat work/base/hard.txt) == real ]] || fail "hard link copy"

must_refuse huge.tar "Skipped huge.bin"
list=$(arcdrv tar32.dll Tar list "$(winpath huge.tar)" 2>/dev/null)
grep -q "^huge.bin	4294967295	" <<<"$list" || fail "huge size is not listed clamped: $list"
out=$(arcdrv tar32.dll Tar cmd "-x -p \"$(winpath huge.tar)\" \"huge.bin\"" 100000 | tr -d '\r' | iconv -c -f CP932 -t UTF-8)
[[ $(head -1 <<<"$out") != "rc=0" ]] || fail "print of a truncated huge entry answered success"

# A damaged sparse map is a damaged archive: nothing is written in place of
# the file, an existing one of its name stays as it was.
for a in sparse_order.tar sparse_unpaired.tar sparse_short.tar sparse_beyond.tar; do
  mkdir -p "work/s_$a" && printf 'keep\n' > "work/s_$a/bad.bin"
  out=$(run "$a" "work/s_$a")
  [[ $(head -1 <<<"$out") == rc=32771 ]] && grep -q "地図が壊れています" <<<"$out" || fail "$a: not answered as damage"$'\n'"$out"
  [[ $(ls "work/s_$a") == bad.bin && $(cat "work/s_$a/bad.bin") == keep ]] || fail "$a: wrote $(ls "work/s_$a")"
  [[ $(arcdrv tar32.dll Tar cmd "-t \"$(winpath $a)\"" | head -1 | tr -d '\r') == rc=32771 ]] || fail "test of $a"
done

# Each damaged archive into a folder of its own: what one of them extracted
# before its damage would otherwise be asked about by the next.
for a in truncated.tar truncated.tgz truncated.tar.bz2 truncated.tar.Z metachain.tar; do must_refuse "$a" "途中で切れています" "work/b_$a"; done
must_refuse metahuge.tar "壊れています" work/b_metahuge
for a in badcrc.tgz badcrc.tar.bz2 badstreamcrc.tar.bz2; do must_refuse "$a" "壊れています" "work/b_$a"; done
must_refuse badheader.tar "書庫ではありません" work/b_badheader
for a in garbage.tar garbage.bz2 garbage.Z empty.tar; do
  out=$(run "$a" "work/b_$a") || fail "$a crashed the driver"
  [[ $(head -1 <<<"$out") != "rc=0" ]] || fail "$a answered success"
done
# A damaged single stream never replaces a good file of the same name.
printf 'keep\n' > work/base/good.tar
must_refuse badcrc.gz "壊れています"
[[ $(cat work/base/good.tar) == keep ]] || fail "damaged data replaced an existing file"
# Damage that still decodes, found only by the gzip check value at the end or
# by the tar header after it (compress has no check of its own): no file of
# such a stream replaces a good one, and test answers the damage.
python3 - <<'PY'
import gzip, io, subprocess, tarfile, zlib
def tar(members):
    b = io.BytesIO()
    with tarfile.open(fileobj=b, mode="w", format=tarfile.GNU_FORMAT) as t:
        for name, data in members:
            i = tarfile.TarInfo(name); i.size = len(data); t.addfile(i, io.BytesIO(data))
    return b.getvalue()
first = b"".join(b"first %d\n" % i for i in range(30000))
good = tar([("first.txt", first), ("second.txt", b"second\n" * 5000)])
lo, hi = 512, 512 + len(first)
gz = gzip.compress(good, mtime=0)
for pos in range(len(gz) // 10, len(gz) // 3):
    e = bytearray(gz); e[pos] ^= 0x01
    o = zlib.decompressobj(-15)
    try:
        out = o.decompress(bytes(e[10:]))
    except zlib.error:
        continue
    if o.eof and len(out) == len(good) and out[lo:hi] != good[lo:hi] and out[hi:] == good[hi:]:
        open("quiet.tgz", "wb").write(bytes(e)); break
else:
    raise SystemExit("no quiet gzip damage found")
z = subprocess.run(["compress", "-c"], input=good, capture_output=True).stdout
second = lo + (len(first) + 511) // 512 * 512
for pos in range(len(z) // 4, len(z) // 2):
    e = bytearray(z); e[pos] ^= 0x01
    out = subprocess.run(["uncompress", "-c"], input=bytes(e), capture_output=True).stdout
    block = out[second:second + 512]
    if len(block) == 512 and any(block) and out[:512] == good[:512] and out[lo:hi] != good[lo:hi]:
        try:
            tarfile.TarInfo.frombuf(block, "utf-8", "strict")
        except tarfile.HeaderError:
            open("quiet.tar.Z", "wb").write(bytes(e)); break
else:
    raise SystemExit("no quiet compress damage found")
# Damage that turned the second header into zeros: the tar seems to end there.
z = bytearray(good); z[second:second + 512] = bytes(512)
open("zeroed.tar.Z", "wb").write(subprocess.run(["compress", "-c"], input=bytes(z), capture_output=True).stdout)
PY
for a in quiet.tgz quiet.tar.Z zeroed.tar.Z; do
  rm -rf work/keep && mkdir -p work/keep && printf 'keep\n' > work/keep/first.txt
  # Even Yes to replacing it keeps it: nothing of the stream is verified yet.
  out=$(beside_any answer "はい(Y)" 5000 -- arcdrv tar32.dll Tar cmd "--display-dialog=0 -x \"$(winpath $a)\" \"$(winpath work/keep)\\\"" |
    tr -d '\r' | iconv -c -f CP932 -t UTF-8)
  [[ $(head -1 <<<"$out") != "rc=0" ]] || fail "$a answered success"$'\n'"$out"
  [[ $(cat work/keep/first.txt) == keep ]] || fail "$a: damaged data replaced first.txt"$'\n'"$out"
  grep -q '^Melted' <<<"$out" && fail "$a: the log says an entry was extracted"$'\n'"$out"
  [[ -z $(ls work/keep | grep -v '^first.txt$') ]] || fail "$a left files behind: $(ls work/keep)"
  out=$(arcdrv tar32.dll Tar cmd "-t \"$(winpath $a)\"" | tr -d '\r' | iconv -c -f CP932 -t UTF-8)
  [[ $(head -1 <<<"$out") != "rc=0" ]] || fail "test of $a answered success"$'\n'"$out"
done
# Cut and bit-flipped copies of compressed tars whose first block no longer
# decodes to a tar header: the name says tar, so each is damage, never a
# single file of whatever decoded.
python3 - <<'PY'
import gzip, bz2, io, subprocess, tarfile
b = io.BytesIO()
with tarfile.open(fileobj=b, mode="w", format=tarfile.GNU_FORMAT) as t:
    for i in range(3):
        d = b"".join(b"row %d %d\n" % (i, k) for k in range(3000))
        ti = tarfile.TarInfo("f%d.txt" % i); ti.size = len(d); t.addfile(ti, io.BytesIO(d))
good = b.getvalue()
z = subprocess.run(["compress", "-c"], input=good, capture_output=True).stdout
packed = {"c.tar.Z": z, "c.taz": z, "c.tgz": gzip.compress(good), "c.tar.bz2": bz2.compress(good)}
for name, data in packed.items():
    stem, ext = name.split(".", 1)
    open("cut_%s" % name, "wb").write(data[:40])            # less than one block decodes
    e = bytearray(data); e[len(data) // 40 + 5] ^= 0x20    # damage inside the first block
    open("flip_%s" % name, "wb").write(bytes(e))
PY
for a in cut_c.tar.Z cut_c.taz cut_c.tgz cut_c.tar.bz2 flip_c.tar.Z flip_c.taz flip_c.tgz flip_c.tar.bz2; do
  mkdir -p "work/d_$a"
  out=$(run "$a" "work/d_$a") || fail "$a: driver failed"
  [[ $(head -1 <<<"$out") != "rc=0" ]] || fail "$a answered success"$'\n'"$out"
  [[ -z $(ls -A "work/d_$a") ]] || fail "$a wrote $(ls -A "work/d_$a")"$'\n'"$out"
  out=$(arcdrv tar32.dll Tar cmd "-t \"$(winpath $a)\"" | tr -d '\r')
  [[ $(head -1 <<<"$out") != "rc=0" ]] || fail "test of $a answered success"
done
# Test answers the damage too.
out=$(arcdrv tar32.dll Tar cmd "-t \"$(winpath badcrc.tar.bz2)\"" | tr -d '\r' | iconv -c -f CP932 -t UTF-8)
[[ $(head -1 <<<"$out") != "rc=0" ]] || fail "test of a damaged archive answered success"
# Listing a damaged archive never crashes.
# (the driver answers 1 for an archive that does not open, anything else is a crash)
for a in *.tar *.tgz *.bz2 *.Z; do
  rc=0; arcdrv tar32.dll Tar list "$(winpath "$a")" >/dev/null 2>&1 || rc=$?
  [[ $rc -le 1 ]] || fail "listing $a crashed ($rc)"
done

# Nothing anywhere outside the base folder.
[[ -z $(ls -A outside) ]] || fail "something was written outside: $(ls -A outside)"
for f in evil1.txt evil2.txt evil3.txt secret; do
  [[ -z $(find "$SCRATCH" / -xdev -maxdepth 2 -name "$f" 2>/dev/null | grep -v "^$SCRATCH/work/base") ]] || fail "$f escaped"
done
[[ ! -e /tmp/evil2.txt && ! -e work/evil1.txt ]] || fail "escape"
echo "arc_tar_hostile: all cases passed"
