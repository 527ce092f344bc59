#!/usr/bin/env python3
"""Converts the public game database MesenNesDB.txt into the header database
text that KORVA Builder carries (assets/header/nes20db.txt).

Each game line of the source (18 comma-separated fields, "#" lines are
comments) becomes one line of six fields, in the source's order, ending in
CR LF:

    CRC,mapper,PRG bytes,CHR bytes,mirroring,timing

  CRC        the source's CRC, upper case
  mapper     the source's mapper number
  PRG bytes  the source's PRG size in kilobytes times 1024
  CHR bytes  the source's CHR ROM size in kilobytes times 1024 (empty is 0)
  mirroring  the source's letter (h, v, 4, 1); an empty field becomes h
  timing     1 for NesPal, 3 for Dendy, 0 for every other system

usage: nes20db.py SOURCE OUTPUT      (OUTPUT "-" writes to stdout)
A malformed source line stops the conversion with a message naming the line.
"""
import os
import re
import sys

FIELD_COUNT = 18
CRC, SYSTEM, MAPPER, PRG, CHR, MIRRORING = 0, 1, 5, 6, 7, 12
TIMING = {"NesPal": "1", "Dendy": "3"}
MIRRORING_LETTERS = {"h", "v", "4", "1"}


class ConversionError(Exception):
    pass


def _number(text, what, lineno, allow_empty=False):
    if text == "" and allow_empty:
        return 0
    if not re.fullmatch(r"[0-9]+", text):
        raise ConversionError(f"line {lineno}: {what} \"{text}\" is not a decimal number")
    return int(text)


def convert_line(line, lineno):
    """The header database line for one source game line (without CR LF)."""
    fields = line.split(",")
    if len(fields) != FIELD_COUNT:
        raise ConversionError(f"line {lineno}: {len(fields)} fields, expected {FIELD_COUNT}")
    crc = fields[CRC]
    if not re.fullmatch(r"[0-9A-Fa-f]{8}", crc):
        raise ConversionError(f"line {lineno}: CRC \"{crc}\" is not eight hexadecimal digits")
    mapper = _number(fields[MAPPER], "mapper", lineno)
    prg = _number(fields[PRG], "PRG size", lineno) * 1024
    chr_ = _number(fields[CHR], "CHR size", lineno, allow_empty=True) * 1024
    mirroring = fields[MIRRORING] or "h"
    if mirroring not in MIRRORING_LETTERS:
        raise ConversionError(f"line {lineno}: mirroring \"{mirroring}\" is not one of h, v, 4, 1")
    timing = TIMING.get(fields[SYSTEM], "0")
    return f"{crc.upper()},{mapper},{prg},{chr_},{mirroring},{timing}"


def convert(lines):
    """The header database lines for the source lines, in the source's order."""
    out = []
    for lineno, raw in enumerate(lines, start=1):
        line = raw.rstrip("\r\n")
        if line.strip() == "" or line.startswith("#"):
            continue
        out.append(convert_line(line, lineno))
    return out


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    source, output = argv[1], argv[2]
    try:
        with open(source, encoding="utf-8") as f:
            lines = convert(f.readlines())
    except (OSError, ConversionError) as e:
        sys.stderr.write(f"nes20db: {source}: {e}\n")
        return 1
    data = "".join(line + "\r\n" for line in lines).encode("ascii")
    if output == "-":
        sys.stdout.buffer.write(data)
        return 0
    tmp = output + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, output)
    sys.stderr.write(f"nes20db: {len(lines)} games written to {output}\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
