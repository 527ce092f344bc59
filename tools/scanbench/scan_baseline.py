#!/usr/bin/env python3
"""A plain baseline of the directory scan in a few lines of Python: the same
job as `korva scan` (identify every ROM by the CRC-32 of its data, ask the
header database first, keep the compatible ones once, write the list as XML),
with zipfile and zlib.crc32 and nothing clever.

    scan_baseline.py DIR HEADER_DB_TXT OUT_XML
"""
import os, sys, zipfile, zlib
from xml.etree import ElementTree as ET

directory, dbtext, out = sys.argv[1], sys.argv[2], sys.argv[3]
db = {}
for line in open(dbtext, encoding="ascii").read().splitlines():
    f = line.split(",")
    db.setdefault(int(f[0], 16), (int(f[1]), int(f[2]), int(f[3]), f[4], "NesNtsc" if f[5] in ("0", "2") else "NesPal"))
root = ET.Element("KORVA", Build="12"); ET.SubElement(root, "ROMPath").text = directory; romdb = ET.SubElement(root, "ROMDB")
seen = set()
names = sorted((n for n in os.listdir(directory) if n.lower().endswith((".zip", ".nes"))), key=str.lower)
for name in names:
    path = os.path.join(directory, name)
    if name.lower().endswith(".zip"):
        with zipfile.ZipFile(path) as z:
            data = z.read(z.namelist()[0])
    else:
        data = open(path, "rb").read()
    if data[:4] != b"NES\x1a": continue
    crc = zlib.crc32(data[16:])
    info = db.get(crc) or ((data[7] & 0xF0) | (data[6] >> 4), data[4] * 16384, data[5] * 8192, "v" if data[6] & 1 else "h", "NesPal" if data[9] & 3 == 2 else "NesNtsc")
    if crc in seen or info[0] not in (0, 3, 87) or info[4] != "NesNtsc" or info[1] not in (16384, 32768) or not 8192 <= info[2] <= 32768: continue
    seen.add(crc)
    rom = ET.SubElement(romdb, "ROM", CRC32="%08X" % crc); ET.SubElement(rom, "Filename").text = name
    if crc not in db: ET.SubElement(rom, "INES", Mapper=str(info[0]), ChrRomSize=str(info[2]), PrgRomSize=str(info[1]), Mirroring=info[3])
ET.ElementTree(root).write(out, encoding="utf-8", xml_declaration=True)
print("%d compatible roms found" % len(seen))
