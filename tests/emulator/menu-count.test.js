// The menu shows only as many lines as the slot count byte says, and the
// cursor wraps within them. Images composed by the harness from the first
// three test games.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { composeImages, readGamesList } from "./lib/compose.js";
import { Machine, Button } from "./lib/machine.js";

const env = process.env;
const available = env.KORVA_MENUROM && env.KORVA_GAMES_DIR && env.KORVA_GAMES_LIST;

function cursorRows(m) {
  const rows = [];
  for (let r = 0; r < 30; r++) if (m.ppu(0x2000 + r * 32 + 4) === 0x86) rows.push(r);
  return rows;
}

test("a three-slot menu shows three lines and wraps the cursor among them", { skip: !available }, () => {
  const games = readGamesList(env.KORVA_GAMES_LIST).slice(0, 3);
  const { prg, chr } = composeImages(readFileSync(env.KORVA_MENUROM), games, env.KORVA_GAMES_DIR, "LINE ONE", "");
  const m = new Machine(prg, chr);
  m.run(20);
  assert.equal(m.row(2).trim(), "LINE ONE");
  assert.equal(m.row(3).trim(), "", "an empty instruction line stays blank");
  assert.match(m.row(9), /COMET CATCHER/);
  for (let r = 10; r < 23; r++) assert.equal(m.row(r).trim(), "", `row ${r} is empty`);
  m.press(Button.UP);
  assert.deepEqual(cursorRows(m), [9], "Up from slot 1 goes to the last shown slot");
  m.press(Button.DOWN);
  assert.deepEqual(cursorRows(m), [7]);
  m.press(Button.UP);
  m.press(Button.START);
  m.run(20);
  assert.equal(m.ram(0x302), games[2].id, "Start runs the game of slot 3");
});
