// Finds the cartridge images for the tests. KORVA_PRG and KORVA_CHR name
// images exported by `korva build` or `korva demo`; without them the images
// are composed here from the menu template and the test games, placed as the
// image builder places them (first half-bank game beside the menu, the other
// half-bank games two to a 32 KB bank, then one 32 KB PRG bank and 32 KB CHR
// window per full-bank game), so the menu can be proven on its own.
import { readFileSync } from "node:fs";
import path from "node:path";

export const SIZE = 524288;

export function readGamesList(file) {
  const games = [];
  for (const line of readFileSync(file, "ascii").split(/\r?\n/)) {
    const m = /^(\d+) +(\d+) +(\d+) +(\d+) +([vh]) +([0-3]) +([a-z0-9-]+) +(.+)$/.exec(line);
    if (!m) continue;
    games.push({
      id: Number(m[1]),
      prgKB: Number(m[2]),
      chrKB: Number(m[3]),
      mapper: Number(m[4]),
      mirroring: m[5],
      icon: Number(m[6]),
      stem: m[7],
      title: m[8].trim(),
    });
  }
  return games;
}

export function composeImages(menurom, games, gameDir, inst1, inst2) {
  const prg = new Uint8Array(SIZE).fill(0xff);
  const chr = new Uint8Array(SIZE).fill(0xff);
  const word = (b, at) => b[at] | (b[at + 1] << 8);
  const tpl = Uint8Array.from(menurom);
  const menuPrg = tpl.subarray(10, 10 + 16384);
  const at = (addr) => addr - 0xc000;
  const [line1, line2, count, pointers, table] = [0, 2, 4, 6, 8].map((o) => word(tpl, o));
  const put = (addr, text) => [...text].forEach((ch, i) => (menuPrg[at(addr) + i] = ch.charCodeAt(0)));
  put(line1, inst1);
  put(line2, inst2);
  menuPrg[at(count)] = games.length;

  const place = new Array(games.length);
  const half = (g) => g.prgKB === 16 && g.chrKB === 8;
  let first = games.findIndex(half);
  if (first < 0) throw new Error("no half-bank game");
  place[first] = { prg: 0, chr: 0x2000, half: 1 };
  let p = 0x8000;
  let c = 0x4000;
  games.forEach((g, i) => {
    if (i !== first && half(g)) {
      place[i] = { prg: p, chr: c, half: 1 };
      p += 0x4000;
      c += 0x2000;
    }
  });
  p = Math.ceil(p / 0x8000) * 0x8000;
  c = Math.ceil(c / 0x8000) * 0x8000;
  games.forEach((g, i) => {
    if (!place[i]) {
      place[i] = { prg: p, chr: c, half: 0 };
      p += 0x8000;
      c += 0x8000;
    }
  });

  games.forEach((g, i) => {
    let title = g.title;
    if (title.length <= 18) title += " ";
    while (title.length < 18) title += "%";
    put(word(menuPrg, at(pointers) + 2 * i) + 4, title);
    const e = at(table) + 6 * i;
    menuPrg.set([g.icon, g.mirroring === "v" ? 1 : 0, place[i].half, place[i].prg / 16384, place[i].chr / 8192, g.mapper & 0xff], e);
    const rom = readFileSync(path.join(gameDir, `${g.stem}.nes`));
    const prgBytes = g.prgKB * 1024;
    prg.set(rom.subarray(16, 16 + prgBytes), place[i].prg);
    chr.set(rom.subarray(16 + prgBytes, 16 + prgBytes + g.chrKB * 1024), place[i].chr);
  });
  prg.set(menuPrg, 0x4000);
  chr.set(tpl.subarray(10 + 16384, 10 + 16384 + 8192), 0);
  return { prg, chr, place };
}

// The images under test and the games they hold, in slot order.
export function loadCartridge() {
  const env = process.env;
  const games = readGamesList(env.KORVA_GAMES_LIST);
  if (env.KORVA_PRG && env.KORVA_CHR) {
    return {
      prg: new Uint8Array(readFileSync(env.KORVA_PRG)),
      chr: new Uint8Array(readFileSync(env.KORVA_CHR)),
      games,
      source: env.KORVA_PRG,
    };
  }
  const { prg, chr } = composeImages(
    readFileSync(env.KORVA_MENUROM),
    games,
    env.KORVA_GAMES_DIR,
    env.KORVA_INST1 ?? "CHOOSE A GAME",
    env.KORVA_INST2 ?? "PRESS START",
  );
  return { prg, chr, games, source: "composed by the test harness" };
}
