#!/usr/bin/env python3
"""Generates a directory of NES ROM images for measuring the directory scan.

    gen_roms.py DIR COUNT [--header-db assets/header/nes20db.txt] [--seed N] [--jobs N]

The files are made in blocks of 1,000, each from its own seed, so the same
COUNT and seed give the same files whatever the number of jobs.

The mix, as a ROM collection has it: 70% .nes files and 30% .zip archives
with one deflated entry.
- 85% are images the cartridge takes: mapper 0, 3 or 87, PRG 16 or 32 KB,
  CHR 8 to 32 KB (24 to 64 KB, most of them 24 or 40 KB); a tenth of all
  ROMs carry a CRC-32 that the header database knows (the last four bytes of
  their CHR are chosen to give that CRC).
- 12% are rejected by the filter as real collections' rejects are: MMC1,
  UxROM and MMC3 games of 64 to 256 KB, CHR-RAM boards (no CHR ROM), PAL
  images.
- 3% are byte-for-byte duplicates under another name, half of them in the
  other container (an archive of a .nes file, or the reverse).
The content is game-like so that it inflates as real ROMs do (about 0.58 of
their size deflated): PRG is opcode-like instructions with operands from a
few hot addresses, data tables and copies of earlier stretches (subroutines
and their variants); CHR is 16-byte tiles from a small set, repeated, blank
and solid tiles among them.
"""
import argparse
import multiprocessing
import os
import random
import struct
import sys
import zipfile
import zlib

# (PRG, CHR) of the images the cartridge takes, and how often each comes.
SIZES = [(16384, 8192), (32768, 8192), (32768, 16384), (32768, 32768), (16384, 16384), (16384, 32768)]
SIZE_WEIGHTS = [3, 4, 1, 1, 0.5, 0.5]


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


# 6502 opcodes by operand bytes: implied, immediate or zero page or relative, absolute.
OPS_0 = bytes([0x60, 0x40, 0x18, 0x38, 0xAA, 0xA8, 0x8A, 0x98, 0x48, 0x68, 0xE8, 0xC8, 0xCA, 0x88, 0x0A, 0x4A, 0xEA])
OPS_1 = bytes([0xA9, 0xA2, 0xA0, 0x85, 0xA5, 0x86, 0xA6, 0xC9, 0x29, 0x09, 0x69, 0xE9, 0xD0, 0xF0, 0x90, 0xB0,
               0x10, 0x30, 0xB1, 0x91, 0xE6, 0xC6])
OPS_2 = bytes([0x8D, 0xAD, 0x20, 0x4C, 0xBD, 0x9D, 0xB9, 0x99, 0x8E, 0xAE, 0xEE, 0xCE])


class PrgMaker:
    """PRG data: subroutines of opcode-like instructions, data tables, filler
    and copies of earlier stretches. The subroutines come from one library
    made at start (operands from a few hot addresses), so that a ROM costs a
    few hundred Python steps rather than one per byte."""

    def __init__(self, rng):
        hot = [struct.pack("<H", rng.choice((rng.randrange(0x0200, 0x0800), 0x2000 + rng.randrange(8),
                                             0x4000 + rng.randrange(0x18), rng.randrange(0x8000, 0x10000))))
               for _ in range(256)]
        zp = [rng.randrange(256) for _ in range(64)]
        tokens = []
        for _ in range(2000):
            k = rng.random()
            if k < 0.2:
                tokens.append(bytes([rng.choice(OPS_0)]))
            elif k < 0.6:
                imm = rng.choice(zp) if rng.random() < 0.6 else rng.randrange(256)
                tokens.append(bytes([rng.choice(OPS_1), imm]))
            else:
                tokens.append(bytes([rng.choice(OPS_2)]) + rng.choice(hot))
        self.routines = [b"".join(rng.choices(tokens, k=rng.randrange(6, 40))) + b"\x60" for _ in range(6000)]

    def make(self, rng, length):
        own = rng.sample(self.routines, max(8, length // 45))
        out = bytearray()
        while len(out) < length:
            r = rng.random()
            if r < 0.08 and len(out) > 256:  # a copy of an earlier stretch, now and then changed a little
                n = rng.randrange(12, 80)
                at = rng.randrange(max(0, len(out) - 16384), len(out) - n)
                piece = bytearray(out[at:at + n])
                if rng.random() < 0.5:
                    piece[rng.randrange(n)] = rng.randrange(256)
                out += piece
            elif r < 0.34:  # a data table
                out += rng.randbytes(rng.randrange(16, 96))
            elif r < 0.32:  # filler
                out += bytes([rng.choice((0x00, 0xFF))]) * rng.randrange(8, 128)
            else:
                out += rng.choice(own)
        return bytes(out[:length])


def make_chr(rng, length):
    rows = [rng.randrange(256) for _ in range(12)]
    pool = [bytes(16), b"\xff" * 16]
    for _ in range(rng.randrange(24, 64)):
        pool.append(bytes(rows[b % 12] if b < 200 else b for b in rng.randbytes(16)))
    weights = [8, 3] + [1.0 / (1 + i * 0.15) for i in range(len(pool) - 2)]
    out = bytearray()
    while len(out) < length:
        if rng.random() < 0.12:
            out += rng.randbytes(16)  # a tile drawn once
        else:
            out += b"".join(rng.choices(pool, weights, k=rng.randrange(1, 12)))
    return bytes(out[:length])


def header(prg, chr_, mapper, vertical, pal):
    return (b"NES\x1a" + bytes([prg // 16384, chr_ // 8192, ((mapper & 0x0F) << 4) | (1 if vertical else 0),
                                 mapper & 0xF0, 0, 2 if pal else 0]) + bytes(6))


BLOCK = 1000


def make_block(args):
    """Writes originals first to last (a block of them); the duplicates of
    those among them that `copies` names follow right after their source."""
    directory, header_db, seed, first, last, copies = args
    rng = random.Random("%d-%d" % (seed, first // BLOCK))
    known = known_roms(header_db)
    forger = CrcForger()
    prg_maker = PrgMaker(rng)
    known_made = rejects = 0
    for i in range(first, last):
        kind = rng.random()
        prg, chr_ = rng.choices(SIZES, SIZE_WEIGHTS)[0]
        mapper, vertical, pal = rng.choice((0, 0, 0, 3, 87)), rng.random() < 0.5, False
        target = None
        if kind < 0.1 and known:
            target, mapper, prg, chr_, mirroring = rng.choice(known)
            vertical = mirroring == "v"
        elif kind < 0.22:
            rejects += 1
            reject = rng.random()
            if reject < 0.6:  # a larger board
                mapper = rng.choice((1, 1, 2, 4, 4))
                prg = rng.choice((65536, 131072, 131072, 262144))
                chr_ = 0 if mapper == 2 else rng.choice((0, 16384, 32768, 65536, 131072))
            elif reject < 0.85:  # CHR RAM
                chr_ = 0
            else:
                pal = True
        data = prg_maker.make(rng, prg) + make_chr(rng, chr_)
        if target is not None:
            data = forger.forge(data, target)
            known_made += 1
        image = header(prg, chr_, mapper, vertical, pal) + data
        archive = rng.random() < 0.3
        name = "Game %05d (%s)" % (rng.randrange(100000), rng.choice(("USA", "Europe", "Japan", "World")))
        write(directory, "%s %06d" % (name, i), image, archive)
        for number, index in copies.get(i, ()):
            write(directory, "Copy %03d %06d" % (number, index), image, archive != (rng.random() < 0.5))
    return known_made, rejects


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("dir")
    ap.add_argument("count", type=int)
    ap.add_argument("--header-db", default=os.path.join(os.path.dirname(__file__), "../../assets/header/nes20db.txt"))
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    args = ap.parse_args()
    os.makedirs(args.dir, exist_ok=True)
    duplicates = max(1, args.count * 3 // 100)
    originals = args.count - duplicates
    copies = {}
    for d, source in enumerate(random.Random(args.seed).sample(range(originals), duplicates)):
        copies.setdefault(source, []).append((d, originals + d))
    blocks = [(args.dir, args.header_db, args.seed, first, min(first + BLOCK, originals),
               {i: c for i, c in copies.items() if first <= i < first + BLOCK})
              for first in range(0, originals, BLOCK)]
    if args.jobs > 1:
        with multiprocessing.Pool(args.jobs) as pool:
            results = pool.map(make_block, blocks)
    else:
        results = [make_block(b) for b in blocks]
    print("wrote %d ROM images to %s (%d known to the header database, %d rejects, %d duplicates)" % (
        args.count, args.dir, sum(r[0] for r in results), sum(r[1] for r in results), duplicates))


def write(directory, name, image, archive):
    if archive:
        entry = zipfile.ZipInfo(name + ".nes", date_time=(2000, 1, 1, 0, 0, 0))
        entry.compress_type = zipfile.ZIP_DEFLATED
        with zipfile.ZipFile(os.path.join(directory, name + ".zip"), "w") as z:
            z.writestr(entry, image)
    else:
        with open(os.path.join(directory, name + ".nes"), "wb") as f:
            f.write(image)


if __name__ == "__main__":
    sys.exit(main())
