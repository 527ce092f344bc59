// A model of the KORVA board (docs/board.md) as a jsnes mapper: 512 KB PRG
// and 512 KB CHR images, the four configuration registers at $5000-$5003,
// the lock, and the CHR bank select of mapper 3 and mapper 87 games confined
// to the game's own CHR window.
import { NES } from "jsnes";

const PRG_IMAGE = 524288;
const CHR_IMAGE = 524288;

// jsnes exports no mapper classes; the NROM mapper is taken from a machine
// that has loaded a plain NROM image.
function nromClass() {
  const probe = new NES({ emulateSound: false });
  const image = new Uint8Array(16 + 16384 + 8192);
  image.set([0x4e, 0x45, 0x53, 0x1a, 1, 1, 0, 0]);
  probe.loadROM(image);
  return Object.getPrototypeOf(probe.mmap).constructor;
}

let BoardClass = null;
function boardClass() {
  if (BoardClass) return BoardClass;
  const Mapper0 = nromClass();
  BoardClass = class KorvaBoard extends Mapper0 {
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
      this.applyPrg();
      this.applyChr();
      this.applyMirroring();
      this.nes.cpu.requestIrq(this.nes.cpu.IRQ_RESET);
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
            this.applyPrg();
            this.applyChr();
            this.applyMirroring();
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
  return BoardClass;
}

// A NES with the board plugged in, fed with the two images.
export function makeBoardNES(prg, chr, opts = {}) {
  if (prg.length !== PRG_IMAGE) throw new Error(`PRG image is ${prg.length} bytes, expected ${PRG_IMAGE}`);
  if (chr.length !== CHR_IMAGE) throw new Error(`CHR image is ${chr.length} bytes, expected ${CHR_IMAGE}`);
  const Board = boardClass();
  const nes = new NES({ emulateSound: false, ...opts });
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
