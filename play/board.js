// A model of the KORVA board (docs/board.md) as a jsnes mapper: 512 KB PRG
// and 512 KB CHR images, the four configuration registers at $5000-$5003,
// the lock, the CHR bank select of mapper 3 and mapper 87 games confined to
// the game's own CHR window, and the console's reset, which brings the board
// back to its power-on state and so the player back to the menu.
//
// One model for the emulator tests and the play-test page: a plain script
// that needs no module loader. It defines `KorvaBoard` on the global object;
// jsnes is handed in by the caller (the tests import its npm package, the
// page has its dist script).
(function (root) {
  "use strict";

  const PRG_IMAGE = 524288;
  const CHR_IMAGE = 524288;

  // jsnes exports no mapper classes; the NROM mapper is taken from a machine
  // that has loaded a plain NROM image.
  function nromClass(jsnes) {
    const probe = new jsnes.NES({ emulateSound: false });
    const image = new Uint8Array(16 + 16384 + 8192);
    image.set([0x4e, 0x45, 0x53, 0x1a, 1, 1, 0, 0]);
    probe.loadROM(image);
    return Object.getPrototypeOf(probe.mmap).constructor;
  }

  const boardClasses = new Map(); // by jsnes NES class
  function boardClass(jsnes) {
    if (boardClasses.has(jsnes.NES)) return boardClasses.get(jsnes.NES);
    const Mapper0 = nromClass(jsnes);
    const KorvaBoard = class extends Mapper0 {
      constructor(nes) {
        super(nes);
        this.powerOn();
      }

      powerOn() {
        this.prg = 0; // 16 KB unit
        this.chr = 0; // 8 KB unit, the window base
        this.mode = 0; // bit 0 vertical, bit 1 PRG mirrored, bit 2 8 KB CHR window
        this.mapper = 0;
        this.locked = false;
        this.select = 0; // the game's CHR bank select, 0 to 3
        this.log = [];
      }

      loadROM() {
        this.applyAll();
        this.nes.cpu.requestIrq(this.nes.cpu.IRQ_RESET);
      }

      applyAll() {
        this.applyPrg();
        this.applyChr();
        this.applyMirroring();
      }

      applyPrg() {
        if (this.mode & 2) {
          this.loadRomBank(this.prg, 0x8000);
          this.loadRomBank(this.prg, 0xc000);
        } else {
          this.loadRomBank(this.prg & ~1, 0x8000);
          this.loadRomBank(this.prg | 1, 0xc000);
        }
      }

      // The 8 KB CHR unit the PPU sees now.
      chrUnit() {
        if (this.mode & 4) return this.chr;
        return (this.chr & 0x3c) | this.select;
      }

      applyChr() {
        this.load8kVromBank(this.chrUnit() * 2, 0x0000);
      }

      applyMirroring() {
        const rom = this.nes.rom;
        this.nes.ppu.setMirroring(this.mode & 1 ? rom.VERTICAL_MIRRORING : rom.HORIZONTAL_MIRRORING);
      }

      write(address, value) {
        if (address >= 0x5000 && address < 0x6000) {
          if (this.locked) return;
          switch (address & 3) {
            case 0:
              this.prg = value & 0x1f;
              this.applyPrg();
              break;
            case 1:
              this.chr = value & 0x3f;
              this.applyChr();
              break;
            case 2:
              this.mode = value & 7;
              this.applyAll();
              break;
            case 3:
              this.mapper = value;
              this.locked = true;
              this.select = 0;
              this.applyChr();
              break;
          }
          return;
        }
        if (this.locked && address >= 0x8000 && this.mapper === 3) {
          this.select = value & 3;
          this.log.push(this.chrUnit());
          this.applyChr();
          return;
        }
        if (this.locked && address >= 0x6000 && address < 0x8000 && this.mapper === 87) {
          this.select = ((value & 1) << 1) | ((value >> 1) & 1);
          this.log.push(this.chrUnit());
          this.applyChr();
          return;
        }
        super.write(address, value);
      }
    };
    boardClasses.set(jsnes.NES, KorvaBoard);
    return KorvaBoard;
  }

  // A NES (jsnes.NES with `opts`) with the board plugged in, fed with the two
  // images, at power-on.
  function makeBoardNES(jsnes, prg, chr, opts = {}) {
    if (prg.length !== PRG_IMAGE) throw new Error(`PRG image is ${prg.length} bytes, expected ${PRG_IMAGE}`);
    if (chr.length !== CHR_IMAGE) throw new Error(`CHR image is ${chr.length} bytes, expected ${CHR_IMAGE}`);
    const Board = boardClass(jsnes);
    const nes = new jsnes.NES({ emulateSound: false, ...opts });
    // The images go in as one large mapper 0 ROM, so jsnes keeps every 16 KB
    // PRG unit and every 4 KB CHR half-bank; the board then maps them.
    const image = new Uint8Array(16 + PRG_IMAGE + CHR_IMAGE);
    image.set([0x4e, 0x45, 0x53, 0x1a, PRG_IMAGE / 16384, CHR_IMAGE / 8192, 0, 0]);
    image.set(prg, 16);
    image.set(chr, 16 + PRG_IMAGE);
    nes.loadROM(image);
    nes.rom.createMapper = () => new Board(nes);
    nes.mmap = nes.rom.createMapper();
    nes.mmap.loadROM();
    nes.cpu._updatePrgReadPath();
    return nes;
  }

  // The console's reset button: the CPU restarts through the reset vector,
  // the picture and sound are switched off (PPUCTRL, PPUMASK, $4015 zero) and
  // the board returns to its power-on state, unlocked: the menu starts again.
  // RAM and video memory keep what they hold, as on the console.
  function resetConsole(nes) {
    const board = nes.mmap;
    board.powerOn();
    board.applyAll();
    nes.cpu._updatePrgReadPath();
    nes.ppu.updateControlReg1(0);
    nes.ppu.updateControlReg2(0);
    nes.papu.writeReg(0x4015, 0);
    nes.crashed = false; // a game jsnes stopped on runs again from the menu
    nes.cpu.requestIrq(nes.cpu.IRQ_RESET);
  }

  root.KorvaBoard = { PRG_IMAGE, CHR_IMAGE, makeBoardNES, resetConsole };
})(globalThis);
