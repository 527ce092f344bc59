#!/usr/bin/env bash
# Peak memory of loading a large ROM database file: `korva list --db` on a
# generated korva_db.xml of ENTRIES entries (each with an INES element, as a
# scan writes them), run under /usr/bin/time. With FILES=1 every entry's file
# exists (empty files in one directory), so every entry becomes a ROM of the
# list; without, every file is missing and only the reading is measured.
#   scripts/bench-romdb-memory.sh                  1,000,000 entries, no files
#   ENTRIES=200000 FILES=1 scripts/bench-romdb-memory.sh
set -euo pipefail
cd "$(dirname "$0")/.."
ENTRIES="${ENTRIES:-1000000}"
WORK="${WORK:-$PWD/build-bench/romdb}"
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVA_BUILD_GUI=OFF -DKORVA_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target korva >/dev/null
mkdir -p "$WORK/roms"
db="$WORK/korva_db-$ENTRIES.xml"
if [ ! -f "$db" ]; then
  awk -v n="$ENTRIES" -v dir="$WORK/roms/" 'BEGIN {
    printf "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<KORVA Build=\"12\">\r\n  <ROMPath>%s</ROMPath>\r\n  <ROMDB>\r\n", dir
    for (i = 0; i < n; i++)
      printf "    <ROM CRC32=\"%08X\">\r\n      <Filename>Game %07d.nes</Filename>\r\n      <INES Mapper=\"0\" ChrRomSize=\"8192\" PrgRomSize=\"32768\" Mirroring=\"v\" />\r\n    </ROM>\r\n", 0x10000000 + i, i
    printf "  </ROMDB>\r\n</KORVA>\r\n" }' >"$db"
fi
if [ "${FILES:-0}" = "1" ]; then
  (cd "$WORK/roms" && seq -f 'Game %07.0f.nes' 0 $((ENTRIES - 1)) | xargs -d '\n' touch)
else
  find "$WORK/roms" -mindepth 1 -delete
fi
echo "file: $db ($(stat -c %s "$db") bytes, $ENTRIES entries, files present: ${FILES:-0})"
/usr/bin/time -f 'peak memory: %M KiB, %e s' build-bench/src/korva list --db "$db" >/dev/null 2>"$WORK/list.err" || true
tail -n 1 "$WORK/list.err"
