// Comparing 256x240 frames, three bytes (red, green, blue) a pixel.

// The 8x8 cells ([row, column]) in which two frames differ.
export function differentCells(a, b) {
  const cells = new Set();
  for (let i = 0; i < a.length; i++) {
    if (a[i] === b[i]) continue;
    const pixel = Math.floor(i / 3);
    cells.add(`${Math.floor(pixel / 256 / 8)},${Math.floor((pixel % 256) / 8)}`);
  }
  return [...cells].map((c) => c.split(",").map(Number));
}
