// One NES with the KORVA board: power on, run frames, press buttons, read
// the name table, RAM and pattern memory, save the frame as a PNG.
import * as jsnes from "jsnes";
import "../../../play/board.js"; // the board model the play-test page runs too: globalThis.KorvaBoard
import { encodePNG } from "./png.js";

const { Controller } = jsnes;
const { makeBoardNES, resetConsole } = globalThis.KorvaBoard;

export const Button = {
  A: Controller.BUTTON_A,
  START: Controller.BUTTON_START,
  UP: Controller.BUTTON_UP,
  DOWN: Controller.BUTTON_DOWN,
};

export class Machine {
  constructor(prg, chr) {
    this.frameBuffer = null;
    this.nes = makeBoardNES(jsnes, prg, chr, { onFrame: (buffer) => (this.frameBuffer = buffer.slice()) });
    // The whole picture the PPU makes, as the board's monitor shows it, not
    // cut to what a television shows.
    this.nes.ppu.clipToTvSize = false;
  }

  get board() {
    return this.nes.mmap;
  }

  // The console's reset button.
  reset() {
    resetConsole(this.nes);
  }

  run(frames) {
    for (let i = 0; i < frames; i++) this.nes.frame();
  }

  // Holds a button for a few frames, then lets go for a few.
  press(button, hold = 3, after = 3) {
    this.nes.buttonDown(1, button);
    this.run(hold);
    this.nes.buttonUp(1, button);
    this.run(after);
  }

  ram(address) {
    return this.nes.cpu.mem[address & 0x7ff];
  }

  ppu(address) {
    const ppu = this.nes.ppu;
    return ppu.vramMem[ppu.vramMirrorTable[address]];
  }

  // Name table row `row` of $2000 as text: tile codes 0x20-0x5F as ASCII,
  // "%" as itself, icon and other tiles as "{XX}".
  row(row, nameTable = 0x2000) {
    let text = "";
    for (let col = 0; col < 32; col++) {
      const tile = this.ppu(nameTable + row * 32 + col);
      text += tile >= 0x20 && tile < 0x60 ? String.fromCharCode(tile) : `{${tile.toString(16).toUpperCase()}}`;
    }
    return text;
  }

  screenText() {
    const rows = [];
    for (let r = 0; r < 30; r++) rows.push(this.row(r));
    return rows;
  }

  // The last frame as three bytes (red, green, blue) a pixel, row after row.
  frameRGB() {
    const fb = this.frameBuffer;
    if (!fb) throw new Error("no frame drawn yet");
    const rgb = new Uint8Array(256 * 240 * 3);
    fb.forEach((c, i) => rgb.set([c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff], i * 3));
    return rgb;
  }

  // Sets the tile at name table address `address` as the menu's NMI would.
  setTile(address, tile) {
    const ppu = this.nes.ppu;
    ppu.vramMem[ppu.vramMirrorTable[address]] = tile;
  }

  screenshotPNG(scale = 2) {
    const fb = this.frameBuffer;
    if (!fb) throw new Error("no frame drawn yet");
    return encodePNG(256, 240, (x, y) => {
      const c = fb[y * 256 + x];
      return [c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff];
    }, scale);
  }
}
