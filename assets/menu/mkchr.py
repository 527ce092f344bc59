#!/usr/bin/env python3
"""Converts a tile text source (see font.txt) into NES CHR data.

usage: mkchr.py SOURCE OUTPUT [--banks N] [--signature GAME]

Writes N 8 KB banks (default 1). Every bank holds the tiles in both pattern
tables. With --signature, the first byte of tile $FF of pattern table 0 in
bank k is GAME * 4 + k, followed by "KV", GAME and k, so a program (or a test)
can tell which game's bank is mapped.
"""
import argparse
import sys

PIXELS = {".": 0, "#": 1, "o": 2, "@": 3}


def parse(path):
    tiles = {}
    with open(path, encoding="ascii") as f:
        lines = [line.rstrip("\n") for line in f]
    i = 0
    while i < len(lines):
        line = lines[i].strip()
        i += 1
        if not line or line.startswith("#"):
            continue
        words = line.split()
        if words[0] != "tile" or len(words) < 2 or not words[1].startswith("$"):
            sys.exit(f"{path}:{i}: expected 'tile $NN name'")
        number = int(words[1][1:], 16)
        if not 0 <= number <= 255 or number in tiles:
            sys.exit(f"{path}:{i}: bad or repeated tile number {words[1]}")
        rows = lines[i:i + 8]
        if len(rows) != 8 or any(len(r) != 8 or set(r) - set(PIXELS) for r in rows):
            sys.exit(f"{path}:{i + 1}: a tile needs eight rows of eight pixels ({''.join(PIXELS)})")
        i += 8
        low = bytearray(8)
        high = bytearray(8)
        for y, row in enumerate(rows):
            for x, ch in enumerate(row):
                value = PIXELS[ch]
                if value & 1:
                    low[y] |= 0x80 >> x
                if value & 2:
                    high[y] |= 0x80 >> x
        tiles[number] = bytes(low + high)
    return tiles


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("source")
    parser.add_argument("output")
    parser.add_argument("--banks", type=int, default=1)
    parser.add_argument("--signature", type=int)
    args = parser.parse_args()
    if not 1 <= args.banks <= 4:
        sys.exit("--banks must be 1 to 4")

    tiles = parse(args.source)
    table = bytearray(4096)
    for number, data in tiles.items():
        table[number * 16:number * 16 + 16] = data

    out = bytearray()
    for bank in range(args.banks):
        first = bytearray(table)
        if args.signature is not None:
            game = args.signature
            first[0xFF0:0xFF5] = bytes([(game * 4 + bank) & 0xFF, ord("K"), ord("V"), game & 0xFF, bank])
        out += first + table
    with open(args.output, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
