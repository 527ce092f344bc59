// The play-test page of the demo in headless Chromium: the first menu frame
// is `korva preview`'s picture in either palette, Down twice moves the cursor
// two lines, Start launches slot 3 and its game draws, Reset brings the menu
// back. Needs the demo (KORVA_DEMO_DIR), the korva tool (KORVA_TOOL), an output
// directory (KORVA_PLAY_DIR), Chromium (KORVA_CHROMIUM, default
// /usr/bin/chromium) and puppeteer-core (npm ci here).
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import path from "node:path";
import { pathToFileURL } from "node:url";
import { decodePNG } from "./lib/png.js";
import { differentCells } from "./lib/frames.js";

const env = process.env;
const available = Boolean(env.KORVA_DEMO_DIR && env.KORVA_TOOL && env.KORVA_PLAY_DIR);
const chromium = env.KORVA_CHROMIUM || "/usr/bin/chromium";

function korva(...args) {
  const run = spawnSync(env.KORVA_TOOL, args, { encoding: "utf8", stdio: ["ignore", "pipe", "pipe"] });
  if (run.status !== 0) throw new Error(`korva ${args.join(" ")} failed (${run.status}): ${run.stderr}`);
  return run.stderr;
}

let browser = null;
let page = null;
let profile = null;
const preview = {};

before(async () => {
  if (!available) return;
  if (!existsSync(chromium)) throw new Error(`${chromium} is not there: scripts/install-deps.sh installs chromium`);
  const puppeteer = (await import("puppeteer-core")).default;
  mkdirSync(env.KORVA_PLAY_DIR, { recursive: true });
  const project = path.join(env.KORVA_DEMO_DIR, "demo.korva");
  const db = path.join(env.KORVA_DEMO_DIR, "korva_db.xml");
  const html = path.join(env.KORVA_PLAY_DIR, "demo-play.html");
  assert.match(korva("play", project, "--db", db, "-o", html), /Play page written to /);
  for (const palette of ["rgb", "ntsc"]) {
    const png = path.join(env.KORVA_PLAY_DIR, `menu-${palette}.png`);
    korva("preview", project, "--db", db, "-o", png, "--palette", palette);
    preview[palette] = decodePNG(readFileSync(png)).rgb;
  }
  // The network is closed and nothing may be fetched: an empty profile, no
  // background traffic; as root Chromium runs only without its sandbox.
  profile = mkdtempSync(path.join(tmpdir(), "korva-play-"));
  browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: profile,
    args: [
      ...(process.getuid && process.getuid() === 0 ? ["--no-sandbox"] : []),
      "--disable-gpu",
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--no-first-run",
      "--window-size=1100,800",
    ],
  });
  page = await browser.newPage();
  page.on("pageerror", (e) => console.log(`page error: ${e.message}`));
  page.on("requestfailed", (r) => console.log(`request failed: ${r.url()}`));
  await page.goto(pathToFileURL(html).href);
});

after(async () => {
  if (browser) await browser.close();
  if (profile) rmSync(profile, { recursive: true, force: true });
});

// Waits until the page has run `count` more NES frames.
async function frames(count) {
  const start = await page.evaluate(() => window.korvaPlay.frames);
  await page.waitForFunction((n) => window.korvaPlay.frames >= n, { timeout: 20000 }, start + count);
}

async function press(key) {
  await page.keyboard.down(key);
  await frames(4);
  await page.keyboard.up(key);
  await frames(4);
}

// The page's picture: its canvas at the NES's own size, three bytes a pixel.
async function picture() {
  const rgba = await page.evaluate(() => {
    const canvas = document.getElementById("screen");
    return Array.from(canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data);
  });
  const rgb = new Uint8Array((rgba.length / 4) * 3);
  for (let i = 0, o = 0; i < rgba.length; i += 4) {
    rgb[o++] = rgba[i];
    rgb[o++] = rgba[i + 1];
    rgb[o++] = rgba[i + 2];
  }
  return rgb;
}

// One jsnes: the page's (play/, built into the program) is the version the
// emulator tests prove the board model on.
test("the page's jsnes is the one the emulator tests run", () => {
  const here = path.dirname(new URL(import.meta.url).pathname);
  const version = (file) => JSON.parse(readFileSync(path.join(here, file), "utf8")).dependencies.jsnes;
  assert.equal(version("../../play/package.json"), version("package.json"));
});

const running = () => page.$eval("#running", (e) => e.textContent);
const choosePalette = (value) => page.click(`input[name="palette"][value="${value}"]`);

test("the page's first menu frame is the preview's picture, in the arcade's colours and in NTSC", { skip: !available }, async () => {
  await frames(30);
  assert.equal(await page.$eval("#title", (e) => e.textContent), "KORVA DEMO");
  assert.equal(await running(), "Running: the menu");
  const shown = await picture();
  assert.equal(shown.length, 256 * 240 * 3);
  assert.deepEqual(differentCells(shown, preview.rgb), []);
  await choosePalette("ntsc");
  await frames(2);
  assert.deepEqual(differentCells(await picture(), preview.ntsc), []);
  await choosePalette("rgb");
  await frames(2);
  // The picture is shown at a whole multiple of its size.
  const size = await page.$eval("#screen", (e) => [e.clientWidth, e.clientHeight]);
  assert.equal(size[0] % 256, 0);
  assert.equal(size[0] / 256, size[1] / 240);
});

// One Down held for frames, one tapped within a frame: each counts once.
test("Down twice moves the cursor two lines", { skip: !available }, async () => {
  await press("ArrowDown");
  await page.keyboard.press("ArrowDown");
  await frames(6);
  // The first key started the sound.
  await page.waitForFunction(() => document.getElementById("sound").textContent !== "Sound starts with the first key you press.");
  assert.equal(await page.$eval("#sound", (e) => e.textContent), "Sound is on.");
  assert.deepEqual(differentCells(await picture(), preview.rgb), [[7, 4], [9, 4]]);
});

test("Start launches slot 3, its game draws, and Reset brings the menu back", { skip: !available }, async () => {
  await press("Enter");
  await frames(20);
  assert.equal(await running(), "Running: slot 3, COMET CATCHER");
  const game = await picture();
  const cells = differentCells(game, preview.rgb);
  assert.ok(cells.length > 100, `the game's screen, not the menu (${cells.length} cells differ)`);
  // The test game writes its name in row 10 from column 4, where the menu
  // has nothing: "C" and "O" of COMET CATCHER are drawn.
  for (const column of [4, 5]) {
    const colours = new Set();
    for (let y = 80; y < 88; y++)
      for (let x = column * 8; x < column * 8 + 8; x++) colours.add(game.subarray((y * 256 + x) * 3, (y * 256 + x) * 3 + 3).join());
    assert.ok(colours.size > 1, `row 10, column ${column}: the game's name`);
  }

  await page.click("#reset");
  await frames(30);
  assert.equal(await running(), "Running: the menu");
  assert.deepEqual(differentCells(await picture(), preview.rgb), []);

  await press("ArrowUp"); // to slot 16, then a power cycle starts afresh
  await page.click("#power");
  await frames(30);
  assert.deepEqual(differentCells(await picture(), preview.rgb), []);
});
