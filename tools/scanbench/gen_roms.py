#!/usr/bin/env python3
"""Generates a directory of NES ROM images for measuring the directory scan.

    gen_roms.py DIR COUNT [--header-db assets/header/nes20db.txt] [--seed N]

The mix: 70% .nes files and 30% .zip archives with one deflated entry; image
sizes 24 to 64 KB; a tenth of the ROMs carry a CRC-32 that the header database
knows (the last four bytes of their CHR are chosen to give that CRC), a tenth
are incompatible (mapper 1 or PAL), and a few are byte-for-byte duplicates
under another name. The data is half random, half zero blocks, so archives
compress about as well as real ROMs do.
"""
import argparse
import os
import random
import struct
import sys
import zipfile
import zlib

SIZES = [(16384, 8192), (16384, 16384), (32768, 8192), (32768, 16384), (32768, 32768), (16384, 32768)]


class CrcForger:
    """Finds the last four bytes of a message that give it a chosen CRC-32.

    CRC-32 is affine in the message bits, so for a fixed length the effect of
    the last 32 bits on the CRC is a 32x32 matrix over GF(2); it is inverted
    once per length."""

    def __init__(self):
        self.inverses = {}

    def _inverse(self, length):
        if length in self.inverses:
            return self.inverses[length]
        zero = bytes(length)
        base = zlib.crc32(zero)
        cols = []
        for bit in range(32):
            m = bytearray(length)
            m[length - 4 + bit // 8] = 1 << (bit % 8)
            cols.append(zlib.crc32(m) ^ base)
        # Gauss-Jordan on rows: we want x with XOR of cols[i] for bits i of x == y.
        # Build augmented matrix: for each output bit r, row = (bits of cols at r, identity).
        rows = []
        for r in range(32):
            v = 0
            for i in range(32):
                if (cols[i] >> r) & 1:
                    v |= 1 << i
            rows.append([v, 1 << r])
        for c in range(32):
            p = next(r for r in range(c, 32) if (rows[r][0] >> c) & 1)
            rows[c], rows[p] = rows[p], rows[c]
            for r in range(32):
                if r != c and (rows[r][0] >> c) & 1:
                    rows[r][0] ^= rows[c][0]
                    rows[r][1] ^= rows[c][1]
        # rows[c][1] now maps y to bit c of x.
        inv = [rows[c][1] for c in range(32)]
        self.inverses[length] = inv
        return inv

    def forge(self, data, target):
        data = bytearray(data)
        data[-4:] = b"\0\0\0\0"
        y = zlib.crc32(data) ^ target
        inv = self._inverse(len(data))
        x = 0
        for c in range(32):
            if bin(inv[c] & y).count("1") & 1:
                x |= 1 << c
        data[-4:] = struct.pack("<I", x)
        assert zlib.crc32(data) == target
        return bytes(data)


def known_roms(path):
    """Compatible entries of the header database text: (crc, mapper, prg, chr, mirroring)."""
    out = []
    try:
        with open(path, encoding="ascii", newline="") as f:
            for line in f.read().splitlines():
                fields = line.split(",")
                if len(fields) < 6:
                    continue
                try:
                    crc, mapper, prg, chr_ = int(fields[0], 16), int(fields[1]), int(fields[2]), int(fields[3])
                except ValueError:
                    continue
                if mapper in (0, 3, 87) and fields[5] in ("0", "2") and prg in (16384, 32768) \
                        and 8192 <= chr_ <= 32768 and chr_ % 8192 == 0:
                    out.append((crc, mapper, prg, chr_, fields[4]))
    except OSError:
        pass
    return out


def make_data(rng, length):
    blocks = []
    for i in range(0, length, 1024):
        n = min(1024, length - i)
        blocks.append(rng.randbytes(n) if (i // 1024) % 2 == 0 else bytes(n))
    return b"".join(blocks)


def header(prg, chr_, mapper, vertical, pal):
    return (b"NES\x1a" + bytes([prg // 16384, chr_ // 8192, ((mapper & 0x0F) << 4) | (1 if vertical else 0),
                                 mapper & 0xF0, 0, 2 if pal else 0]) + bytes(6))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("dir")
    ap.add_argument("count", type=int)
    ap.add_argument("--header-db", default=os.path.join(os.path.dirname(__file__), "../../assets/header/nes20db.txt"))
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    rng = random.Random(args.seed)
    os.makedirs(args.dir, exist_ok=True)
    known = known_roms(args.header_db)
    forger = CrcForger()
    duplicates = max(1, args.count // 500)
    made = []
    known_made = 0
    for i in range(args.count - duplicates):
        kind = rng.random()
        prg, chr_ = rng.choice(SIZES)
        mapper, vertical, pal = rng.choice((0, 0, 3, 87)), rng.random() < 0.5, False
        target = None
        if kind < 0.1 and known:
            target, mapper, prg, chr_, mirroring = rng.choice(known)
            vertical = mirroring == "v"
        elif kind < 0.2:
            if rng.random() < 0.5:
                mapper = 1
            else:
                pal = True
        data = make_data(rng, prg + chr_)
        if target is not None:
            data = forger.forge(data, target)
            known_made += 1
        image = header(prg, chr_, mapper, vertical, pal) + data
        made.append(image)
        name = "Game %05d (%s)" % (rng.randrange(100000), rng.choice(("USA", "Europe", "Japan", "World")))
        write(args.dir, name, i, image, rng)
    for d in range(duplicates):
        image = made[rng.randrange(len(made))]
        write(args.dir, "Copy %03d" % d, args.count - duplicates + d, image, rng)
    print("wrote %d ROM images to %s (%d known to the header database)" % (args.count, args.dir, known_made))


def write(directory, name, index, image, rng):
    name = "%s %06d" % (name, index)
    if rng.random() < 0.3:
        path = os.path.join(directory, name + ".zip")
        with zipfile.ZipFile(path, "w", compression=zipfile.ZIP_DEFLATED) as z:
            z.writestr(name + ".nes", image)
    else:
        with open(os.path.join(directory, name + ".nes"), "wb") as f:
            f.write(image)


if __name__ == "__main__":
    sys.exit(main())
