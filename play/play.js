// The play-test page: runs the cartridge of the page's data (#korva-cartridge)
// on jsnes with the KORVA board model, draws it scaled by whole pixels, plays
// its sound once a key is pressed, reads the keyboard and gamepads, and offers
// the console's Reset and a power cycle. A plain script after jsnes and
// board.js; it sets `korvaPlay` on the window (the frame count and the
// running line, which the page's test reads).
(function () {
  "use strict";

  const cartridge = JSON.parse(document.getElementById("korva-cartridge").textContent);
  const Button = jsnes.Controller;
  const FRAME_MS = 1000 / 60.0988; // an NTSC NES frame
  const SAMPLE_RATE = 48000;
  const PALETTE_KEY = "korva-play-palette";

  function bytes(base64) {
    const text = atob(base64);
    const out = new Uint8Array(text.length);
    for (let i = 0; i < text.length; i++) out[i] = text.charCodeAt(i);
    return out;
  }
  const prg = bytes(cartridge.prg);
  const chr = bytes(cartridge.chr);

  // ---- picture
  const canvas = document.getElementById("screen");
  const context = canvas.getContext("2d", { alpha: false });
  const image = context.createImageData(256, 240);
  const pixels = new Uint32Array(image.data.buffer);
  let frameBuffer = null;

  function draw() {
    if (!frameBuffer) return;
    // jsnes gives 0xBBGGRR; the canvas takes bytes R, G, B, A (little-endian 0xAABBGGRR).
    for (let i = 0; i < pixels.length; i++) pixels[i] = 0xff000000 | frameBuffer[i];
    context.putImageData(image, 0, 0);
  }

  // The largest whole factor that fits the space beside the controls.
  function fit() {
    const box = document.getElementById("screen-box");
    const style = getComputedStyle(box);
    const width = box.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight);
    const height = box.clientHeight - parseFloat(style.paddingTop) - parseFloat(style.paddingBottom);
    const scale = Math.max(1, Math.floor(Math.min(width / 256, height / 240)));
    canvas.style.width = `${256 * scale}px`;
    canvas.style.height = `${240 * scale}px`;
  }
  window.addEventListener("resize", fit);

  // ---- colours: the arcade's RGB PPU (its table comes from KORVA Builder,
  // the one the menu preview draws with), or jsnes's own NTSC palette
  const bgr = (c) => ((c & 0xff) << 16) | (c & 0xff00) | ((c >> 16) & 0xff);
  let palette = "rgb";
  try {
    if (localStorage.getItem(PALETTE_KEY) === "ntsc") palette = "ntsc";
  } catch (e) {
    // no storage for pages from disk in this browser: the default stays
  }

  function applyPalette(nes) {
    const table = nes.ppu.palTable;
    if (palette === "ntsc") {
      table.loadNTSCPalette();
    } else {
      // The RGB PPU's emphasis turns the emphasised channels fully on.
      table.curTable = Uint32Array.from(cartridge.rgb, bgr);
      for (let e = 0; e < 8; e++) {
        const on = (e & 1 ? 0xff0000 : 0) | (e & 2 ? 0x00ff00 : 0) | (e & 4 ? 0x0000ff : 0);
        table.emphTable[e] = Uint32Array.from(cartridge.rgb, (c) => bgr(c | on));
      }
    }
    table.currentEmph = -1;
    table.setEmphasis(nes.ppu.f_color);
    nes.ppu.updatePalettes();
  }

  for (const radio of document.querySelectorAll('input[name="palette"]')) {
    radio.checked = radio.value === palette;
    radio.addEventListener("change", () => {
      palette = radio.value;
      try {
        localStorage.setItem(PALETTE_KEY, palette);
      } catch (e) {
        // not remembered, still used
      }
      applyPalette(nes);
      radio.blur();
    });
  }

  // ---- sound: the emulator's samples through a Web Audio script processor,
  // made on the first key or click (browsers start sound only after the user
  // acts). An AudioWorklet would need a module file, which a page from disk
  // may not load.
  const SOUND_BUFFER = 16384; // samples, about a third of a second
  const sound = {
    context: null,
    left: new Float32Array(SOUND_BUFFER),
    right: new Float32Array(SOUND_BUFFER),
    read: 0,
    count: 0,
  };

  function startSound() {
    if (sound.context) return;
    const note = document.getElementById("sound");
    try {
      const context = new AudioContext({ sampleRate: SAMPLE_RATE });
      const node = context.createScriptProcessor(1024, 0, 2);
      node.onaudioprocess = (event) => {
        const outL = event.outputBuffer.getChannelData(0);
        const outR = event.outputBuffer.getChannelData(1);
        for (let i = 0; i < outL.length; i++) {
          if (sound.count > 0) {
            outL[i] = sound.left[sound.read];
            outR[i] = sound.right[sound.read];
            sound.read = (sound.read + 1) % SOUND_BUFFER;
            sound.count--;
          } else {
            outL[i] = outR[i] = 0;
          }
        }
      };
      node.connect(context.destination);
      sound.context = context;
      context.resume().then(
        () => (note.textContent = "Sound is on."),
        (e) => (note.textContent = `This browser gave no sound: ${e.message}`),
      );
    } catch (e) {
      note.textContent = `This browser gave no sound: ${e.message}`;
    }
  }

  // One sample from the emulator; the oldest give way when the buffer is full.
  function sample(left, right) {
    if (!sound.context) return;
    if (sound.count === SOUND_BUFFER) {
      sound.read = (sound.read + 1) % SOUND_BUFFER;
      sound.count--;
    }
    const at = (sound.read + sound.count) % SOUND_BUFFER;
    sound.left[at] = left;
    sound.right[at] = right;
    sound.count++;
  }

  // ---- the console
  let nes = null;
  function powerOn() {
    nes = KorvaBoard.makeBoardNES(jsnes, prg, chr, {
      emulateSound: true,
      sampleRate: SAMPLE_RATE,
      onFrame: (buffer) => (frameBuffer = buffer),
      onAudioSample: sample,
    });
    // The whole picture, as the arcade's monitor and the menu preview show it.
    nes.ppu.clipToTvSize = false;
    applyPalette(nes);
    held.fill(0);
  }

  // ---- controls: keyboard (player 1) and up to two gamepads
  const keys = {
    ArrowUp: Button.BUTTON_UP,
    ArrowDown: Button.BUTTON_DOWN,
    ArrowLeft: Button.BUTTON_LEFT,
    ArrowRight: Button.BUTTON_RIGHT,
    KeyZ: Button.BUTTON_B,
    KeyA: Button.BUTTON_B,
    KeyX: Button.BUTTON_A,
    KeyS: Button.BUTTON_A,
    Enter: Button.BUTTON_START,
    NumpadEnter: Button.BUTTON_START,
    ShiftLeft: Button.BUTTON_SELECT,
    ShiftRight: Button.BUTTON_SELECT,
  };
  const BUTTONS = 8;
  const keyboard = new Set(); // the keys held now
  const tapped = new Set(); // pressed since the last frame: a tap shorter than a frame still counts once
  const held = new Uint8Array(2 * BUTTONS); // what the console was told, player by player

  function onKey(event) {
    if (!(event.code in keys) || event.ctrlKey || event.altKey || event.metaKey) return;
    event.preventDefault(); // no scrolling, no button or radio answering Enter or the arrows
    if (event.type === "keydown") {
      keyboard.add(event.code);
      tapped.add(event.code);
    } else {
      keyboard.delete(event.code);
    }
  }
  window.addEventListener("keydown", onKey, true);
  window.addEventListener("keyup", onKey, true);
  window.addEventListener("blur", () => keyboard.clear());
  for (const type of ["keydown", "pointerdown"]) window.addEventListener(type, startSound, { once: true });

  // Standard gamepad layout: the left and bottom face buttons are B, the
  // right and top ones A, as on the NES pad, where B is left of A.
  function padButtons(pad, down) {
    const pressed = (i) => pad.buttons[i] && pad.buttons[i].pressed;
    const x = pad.axes[0] || 0;
    const y = pad.axes[1] || 0;
    down[Button.BUTTON_B] ||= pressed(0) || pressed(2);
    down[Button.BUTTON_A] ||= pressed(1) || pressed(3);
    down[Button.BUTTON_SELECT] ||= pressed(8);
    down[Button.BUTTON_START] ||= pressed(9);
    down[Button.BUTTON_UP] ||= pressed(12) || y < -0.5;
    down[Button.BUTTON_DOWN] ||= pressed(13) || y > 0.5;
    down[Button.BUTTON_LEFT] ||= pressed(14) || x < -0.5;
    down[Button.BUTTON_RIGHT] ||= pressed(15) || x > 0.5;
  }

  const padsNote = document.getElementById("pads");
  function readControls() {
    const down = [new Array(BUTTONS).fill(false), new Array(BUTTONS).fill(false)];
    for (const code of keyboard) down[0][keys[code]] = true;
    for (const code of tapped) down[0][keys[code]] = true;
    tapped.clear();
    const pads = navigator.getGamepads ? [...navigator.getGamepads()].filter(Boolean) : [];
    pads.slice(0, 2).forEach((pad, player) => padButtons(pad, down[player]));
    const padLine = pads.length === 0 ? "Gamepads work as well: press a button on one." :
      pads.slice(0, 2).map((pad, player) => `Player ${player + 1}: ${pad.id}`).join("; ");
    if (padLine !== padsNote.textContent) padsNote.textContent = padLine;
    for (let player = 0; player < 2; player++) {
      for (let b = 0; b < BUTTONS; b++) {
        const now = down[player][b] ? 1 : 0;
        if (now === held[player * BUTTONS + b]) continue;
        held[player * BUTTONS + b] = now;
        if (now) nes.buttonDown(player + 1, b);
        else nes.buttonUp(player + 1, b);
      }
    }
  }

  // ---- which slot runs: the board's PRG and CHR units once the menu has
  // locked it, against the slots the build placed
  const runningLine = document.getElementById("running");
  function running() {
    const board = nes.mmap;
    if (!board.locked) return "Running: the menu";
    const slots = cartridge.slots.filter((s) => s.prg === board.prg && s.chr === board.chr);
    if (slots.length === 0) return `Running: a game at PRG unit ${board.prg}, CHR unit ${board.chr}`;
    const numbers = slots.map((s) => s.slot);
    const which = numbers.length === 1 ? `slot ${numbers[0]}` :
      `slots ${numbers.slice(0, -1).join(", ")} and ${numbers[numbers.length - 1]}`;
    return `Running: ${which}, ${slots[0].title || "(no title)"}`;
  }

  // ---- the frame loop: NES frames at their own rate, drawn on the display's
  const state = { frames: 0, running: "" };
  window.korvaPlay = state;
  let last = null;
  let owed = 0;
  function tick(now) {
    requestAnimationFrame(tick);
    if (last === null) last = now;
    owed = Math.min(owed + now - last, 4 * FRAME_MS); // after a pause, no race to catch up
    last = now;
    let ran = 0;
    while (owed >= FRAME_MS || (state.frames === 0 && ran === 0)) {
      readControls();
      try {
        nes.frame();
      } catch (e) {
        // jsnes stops on an instruction it does not know; Reset or a power
        // cycle starts again.
        runningLine.textContent = state.running = `Stopped: ${e.message} Press Reset or Power cycle.`;
        return;
      }
      owed = Math.max(0, owed - FRAME_MS);
      state.frames++;
      ran++;
    }
    if (ran === 0) return;
    draw();
    const line = running();
    if (line !== state.running) runningLine.textContent = state.running = line;
  }

  document.getElementById("reset").addEventListener("click", (event) => {
    KorvaBoard.resetConsole(nes);
    event.currentTarget.blur();
  });
  document.getElementById("power").addEventListener("click", (event) => {
    powerOn();
    event.currentTarget.blur();
  });

  document.title = `${cartridge.title || "Cartridge"} - play test`;
  document.getElementById("title").textContent = cartridge.title || "(no cartridge title)";
  powerOn();
  fit();
  requestAnimationFrame(tick);
})();
