// Proof of a KORVA cartridge on jsnes with the board model: the menu screen,
// the cursor, and every slot starting its own game with its own PRG, CHR and
// mirroring. The images come from KORVA_PRG/KORVA_CHR (exported by the
// `korva` tool) or are composed by lib/compose.js.
import { test } from "node:test";
import assert from "node:assert/strict";
import { mkdirSync, writeFileSync } from "node:fs";
import path from "node:path";
import { loadCartridge } from "./lib/compose.js";
import { Machine, Button } from "./lib/machine.js";

const cart = loadCartridge();
const FIRST_ROW = 7;
const BOOT_FRAMES = 20;

function bootMenu() {
  const m = new Machine(cart.prg, cart.chr);
  m.run(BOOT_FRAMES);
  return m;
}

function cursorRow(m) {
  const rows = [];
  for (let r = 0; r < 30; r++) if (m.ppu(0x2000 + r * 32 + 4) === 0x86) rows.push(r);
  return rows;
}

// The title as the menu shows it: padded with a space and dot leaders to 19.
function shownTitle(title) {
  let t = title;
  if (t.length <= 18) t += " ";
  while (t.length < 19) t += "%";
  return t.slice(0, 19);
}

test("menu screen shows the instruction lines, sixteen titles with dot leaders, and icons", () => {
  const m = bootMenu();
  assert.equal(cart.games.length, 16);
  assert.match(m.row(2), /^ {4}\S/, "instruction line 1 starts in column 4");
  assert.match(m.row(3), /^ {4}\S/, "instruction line 2 starts in column 4");
  if (process.env.KORVA_INST1) assert.equal(m.row(2).slice(4, 28).trimEnd(), process.env.KORVA_INST1);
  if (process.env.KORVA_INST2) assert.equal(m.row(3).slice(4, 28).trimEnd(), process.env.KORVA_INST2);
  cart.games.forEach((g, i) => {
    const row = FIRST_ROW + i;
    let text = "";
    for (let col = 6; col < 25; col++) text += String.fromCharCode(m.ppu(0x2000 + row * 32 + col));
    assert.equal(text, shownTitle(g.title), `slot ${i + 1} title`);
    const icon = [m.ppu(0x2000 + row * 32 + 26), m.ppu(0x2000 + row * 32 + 27)];
    const expected = g.icon === 0 ? [0x20, 0x20] : [0x80 + 2 * (g.icon - 1), 0x81 + 2 * (g.icon - 1)];
    assert.deepEqual(icon, expected, `slot ${i + 1} icon`);
  });
  assert.deepEqual(cursorRow(m), [FIRST_ROW], "the cursor starts on slot 1");

  const out = process.env.KORVA_PNG_OUT ?? path.join(process.cwd(), "menu-screen.png");
  mkdirSync(path.dirname(out), { recursive: true });
  writeFileSync(out, m.screenshotPNG(2));
  console.log(`menu screen saved to ${out}`);
});

test("Up and Down move the cursor and wrap at both ends", () => {
  const m = bootMenu();
  m.press(Button.DOWN);
  assert.deepEqual(cursorRow(m), [FIRST_ROW + 1]);
  m.press(Button.UP);
  m.press(Button.UP);
  assert.deepEqual(cursorRow(m), [FIRST_ROW + 15], "Up from slot 1 wraps to slot 16");
  m.press(Button.DOWN);
  assert.deepEqual(cursorRow(m), [FIRST_ROW], "Down from slot 16 wraps to slot 1");
  // Holding a button moves the cursor once.
  m.press(Button.DOWN, 20, 3);
  assert.deepEqual(cursorRow(m), [FIRST_ROW + 1]);
});

function launch(slot, button = Button.START) {
  const m = bootMenu();
  for (let i = 1; i < slot; i++) m.press(Button.DOWN);
  m.press(button);
  m.run(20);
  return m;
}

for (const [index, g] of cart.games.entries()) {
  const slot = index + 1;
  test(`slot ${slot} starts its own game ${g.title} (${g.prgKB}K PRG, ${g.chrKB}K CHR, mapper ${g.mapper}, ${g.mirroring})`, () => {
    const m = launch(slot, slot === 2 ? Button.A : Button.START);
    assert.equal(m.ram(0x300), 0x4b, "signature K");
    assert.equal(m.ram(0x301), 0x56, "signature V");
    assert.equal(m.ram(0x302), g.id, "game number");
    assert.equal(m.ram(0x303), g.id ^ 0xff);
    let name = "";
    for (let i = 0; i < 19; i++) name += String.fromCharCode(m.ram(0x310 + i));
    assert.equal(name.trimEnd(), g.title);
    assert.equal(m.row(10).slice(4).trimEnd(), g.title, "the game's name on screen");

    // mirroring: as the game itself finds it, and as the board is set
    assert.equal(m.ram(0x304), g.mirroring === "v" ? 1 : 0, "mirroring the game found");
    assert.equal(m.board.mode & 1, g.mirroring === "v" ? 1 : 0);
    assert.equal(m.board.locked, true, "the board is locked once the game runs");

    // its own CHR, bank by bank, and nothing outside its window
    const banks = g.mapper === 3 || g.mapper === 87 ? g.chrKB / 8 : 1;
    assert.equal(m.ram(0x306), banks);
    for (let k = 0; k < banks; k++) assert.equal(m.ram(0x308 + k), g.id * 4 + k, `CHR bank ${k}`);
    assert.equal(m.ram(0x30c), g.id * 4, "bank 4 wraps into the game's own window");
    assert.equal(m.ram(0x30d), g.id * 4, "writes to the locked board change nothing");
  });
}

for (const [index, g] of cart.games.entries()) {
  if (!(g.mapper === 3 || g.mapper === 87) || g.chrKB < 16) continue;
  const slot = index + 1;
  test(`slot ${slot} ${g.title}: mapper ${g.mapper} switches CHR inside its own window while it runs`, () => {
    const m = launch(slot);
    const base = m.board.chr;
    assert.equal(base % 4, 0, "a full-bank game's CHR window starts on a 32 KB boundary");
    const seen = new Set();
    for (let f = 0; f < 4 * 60 + 30; f += 10) {
      m.run(10);
      const bank = m.ram(0x331);
      seen.add(bank);
      assert.equal(m.board.chrUnit(), base + bank);
      assert.equal(m.ppu(0x0ff0), g.id * 4 + bank, "pattern table shows the game's own bank");
    }
    assert.equal(seen.size, g.chrKB / 8, "every bank was shown");
    for (const unit of m.board.log) assert.ok(unit >= base && unit < base + 4, `CHR unit ${unit} in window`);
  });
}

test("the console's reset brings a running game back to the menu, the board unlocked", () => {
  const m = launch(3);
  assert.equal(m.board.locked, true);
  assert.equal(m.ram(0x302), cart.games[2].id, "slot 3's game runs");
  m.reset();
  m.run(BOOT_FRAMES);
  assert.equal(m.board.locked, false);
  assert.deepEqual(cursorRow(m), [FIRST_ROW], "the menu again, the cursor on slot 1");
  assert.ok(m.row(FIRST_ROW).includes(shownTitle(cart.games[0].title)), m.row(FIRST_ROW));
  m.press(Button.DOWN);
  m.press(Button.START);
  m.run(20);
  assert.equal(m.ram(0x302), cart.games[1].id, "and it starts another game");
});
