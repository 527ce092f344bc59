// The menu preview is what the cartridge shows: for the demo and for projects
// that push the menu to its edges, the PNG that `korva preview` writes and
// the emulator's frame of the images that `korva build` writes are the same
// in every pixel. Needs the demo (KORVA_DEMO_DIR: its ROM database, games and
// project) and the korva tool (KORVA_TOOL).
import { test } from "node:test";
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { mkdirSync, readFileSync, writeFileSync } from "node:fs";
import path from "node:path";
import { Machine, Button } from "./lib/machine.js";
import { decodePNG } from "./lib/png.js";
import { differentCells } from "./lib/frames.js";

const env = process.env;
const available = env.KORVA_DEMO_DIR && env.KORVA_TOOL && env.KORVA_PREVIEW_DIR;
const BOOT_FRAMES = 20;

// The demo's ROMs, slot by slot, as CRC-32s.
function demoCrcs() {
  const text = readFileSync(path.join(env.KORVA_DEMO_DIR, "demo.korva"), "utf8");
  return [...text.matchAll(/CRC32="([0-9A-F]{8})"/g)].map((m) => m[1]);
}

const xml = (text) => text.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;");

// A project file with the demo's ROMs; `titles` and `icons` per slot. Control
// characters in a title are written as character references.
function projectFile(p) {
  const slots = demoCrcs().map((crc, i) => {
    const title = xml(p.titles[i]).replace(/[\x00-\x1f]/g, (c) => `&#x${c.charCodeAt(0).toString(16)};`);
    return `    <ROM Slot="${i + 1}" CRC32="${crc}" Icon="${p.icons[i]}">${title}</ROM>`;
  });
  return `<?xml version="1.0" encoding="utf-8"?>
<KORVA-Project Ver="12">
  <CartTitle>PREVIEW TEST</CartTitle>
  <Icons>1</Icons>
  <InstLine1>${xml(p.line1)}</InstLine1>
  <InstLine2>${xml(p.line2)}</InstLine2>
  <ROMSlots>
${slots.join("\n")}
  </ROMSlots>
</KORVA-Project>
`;
}

const slots = [...Array(16).keys()];
const projects = [
  {
    name: "long",
    what: "every title 19 characters, instruction lines at 24, every icon mode",
    titles: slots.map((i) => `SLOT ${String(i + 1).padStart(2, "0")} ABCDEFGHIJKLMNOPQ`.slice(0, 19)),
    icons: slots.map((i) => i % 4),
    line1: "ABCDEFGHIJKLMNOPQRSTUVWX",
    line2: "!#$&'*+-./:<=>? 01234567",
  },
  {
    name: "sparse",
    what: "six empty titles, No Icon on most slots, an empty first instruction line",
    titles: slots.map((i) => ([1, 4, 5, 8, 12, 15].includes(i) ? "" : `GAME ${i + 1}`)),
    icons: slots.map((i) => (i % 5 === 0 ? 3 : 0)),
    line1: "",
    line2: "PICK ONE",
  },
  {
    name: "filtered",
    what: "lower case, punctuation the title filter drops, control characters the menu shows as spaces",
    titles: slots.map((i) =>
      ["rocket rally", "mole, patrol; 2", "comet (europe)", "a\x03b\x08c\x16d", "pixel@pirates!", "zz top?"][i % 6],
    ),
    icons: slots.map((i) => (i * 7) % 4),
    line1: "press start, then go",
    line2: "choose\x03a game",
  },
];

// Runs the tool; returns what it said on stderr.
function korva(...args) {
  const run = spawnSync(env.KORVA_TOOL, args, { encoding: "utf8", stdio: ["ignore", "pipe", "pipe"] });
  if (run.status !== 0) throw new Error(`korva ${args.join(" ")} failed (${run.status}): ${run.stderr}`);
  return run.stderr;
}

// Builds (or, for the demo, takes) the images and the NTSC preview of a
// project, with the menu template `template` when named; returns the
// emulator's machine after boot and the preview's pixels and stderr.
function bootAndPreview(name, spec, template) {
  const db = path.join(env.KORVA_DEMO_DIR, "korva_db.xml");
  let project = path.join(env.KORVA_DEMO_DIR, "demo.korva");
  let base = path.join(env.KORVA_DEMO_DIR, "demo");
  mkdirSync(env.KORVA_PREVIEW_DIR, { recursive: true });
  if (spec) {
    project = path.join(env.KORVA_PREVIEW_DIR, `${name}.korva`);
    base = path.join(env.KORVA_PREVIEW_DIR, name);
    writeFileSync(project, projectFile(spec));
  }
  // The preview first: the build saves the project, in its own way.
  const png = path.join(env.KORVA_PREVIEW_DIR, `${name}-menu.png`);
  const menu = template ? ["--menu-template", template] : [];
  const said = korva("preview", project, "--db", db, "-o", png, "--palette", "ntsc", ...menu);
  if (spec) korva("build", project, "--db", db, ...menu);
  const preview = decodePNG(readFileSync(png));
  assert.equal(preview.width, 256);
  assert.equal(preview.height, 240);
  const m = new Machine(new Uint8Array(readFileSync(`${base}-prg.bin`)), new Uint8Array(readFileSync(`${base}-chr.bin`)));
  m.run(BOOT_FRAMES);
  return { m, preview: preview.rgb, said };
}

test("the demo's preview is the emulator's menu frame, pixel for pixel", { skip: !available }, () => {
  const { m, preview } = bootAndPreview("demo");
  assert.deepEqual(differentCells(m.frameRGB(), preview), []);
});

for (const p of projects) {
  test(`preview of "${p.name}" (${p.what}) is the emulator's menu frame`, { skip: !available }, () => {
    const { m, preview } = bootAndPreview(p.name, p);
    assert.deepEqual(differentCells(m.frameRGB(), preview), []);
  });
}

// The comparison sees a single tile: a change the preview does not know of
// shows up as exactly the cells it touched.
const changes = [
  { what: "one title letter changed", change: (m) => m.setTile(0x2000 + 7 * 32 + 6, 0x58), cells: [[7, 6]] },
  { what: "the cursor moved to slot 2", change: (m) => m.press(Button.DOWN), cells: [[7, 4], [8, 4]] },
];
for (const c of changes) {
  test(`a menu that differs from the preview by ${c.what} is told apart`, { skip: !available }, () => {
    const { m, preview } = bootAndPreview("demo");
    c.change(m);
    m.run(2);
    assert.deepEqual(differentCells(m.frameRGB(), preview), c.cells);
  });
}

// A menu template whose screen uses colour emphasis (red and blue) and puts
// $2D, a grey the arcade does not have, into the instruction lines' colour:
// the NTSC preview is still the emulator's frame, and the preview says both.
test("a menu with colour emphasis and colour $2D: the NTSC preview is the emulator's frame", { skip: !available }, () => {
  const menu = new Uint8Array(readFileSync(env.KORVA_MENUROM));
  const layout = 10 + 0x3000;
  menu[layout + 14] |= 0xa0;
  const palettes = 10 + (menu[layout + 16] | (menu[layout + 17] << 8)) - 0xc000;
  menu[palettes + 5] = 0x2d;
  const template = path.join(env.KORVA_PREVIEW_DIR, "emphasis-menurom.bin");
  mkdirSync(env.KORVA_PREVIEW_DIR, { recursive: true });
  writeFileSync(template, menu);
  const { m, preview, said } = bootAndPreview("emphasis", projects[0], template);
  assert.deepEqual(differentCells(m.frameRGB(), preview), []);
  assert.match(said, /\$3F05 \(background palette 1, colour 1\) is colour \$2D/);
  assert.match(said, /colour emphasis \(PPUMASK \$AA: red and blue\)/);
});
