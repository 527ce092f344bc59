#!/usr/bin/env bash
# Takes the pictures of the window in docs/screenshots/ under Xvfb: the main
# window empty, filled with the demo project (its capacity gauge beside the
# instruction lines) and scrolled to its last slots, the demo with its Menu
# Preview beside the window and alone in either palette, a ROM list filtered
# by typing, a cartridge that does not fit, the scan dialog over the disabled
# window, the About box, (with openbox installed) the window at scale 2 on a
# 1600x1000 screen, and the demo's play-test page in a Chromium window.
# Needs a build (scripts/demo.sh), xvfb-run and chromium (scripts/install-deps.sh);
# for the last two openbox, and for the play page xdotool and ImageMagick's
# import (apt-get install openbox xdotool imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
DEMO="${DEMO:-$PWD/korva-demo}"
OUT="${OUT:-$PWD/docs/screenshots}"
[ -f "$DEMO/demo.korva" ] || build/src/korva demo "$DEMO" --force
mkdir -p "$OUT"
SCREEN=(-a -s "-screen 0 1280x1024x24")
xvfb-run "${SCREEN[@]}" build/tools/screenshots/korva_screenshots "$DEMO" "$OUT"
KORVA_SCREENSHOT="$OUT/about.png" xvfb-run "${SCREEN[@]}" build/tests/about/korva_about_tests screenshot >/dev/null
echo "$OUT/about.png"
# The window at twice the size on a 1600x1000 screen, under a window manager
# (openbox), frame and all: it fits the screen with fewer slot rows.
if command -v openbox >/dev/null 2>&1; then
  xvfb-run -a -s "-screen 0 1600x1000x24" sh -c 'openbox & sleep 1; QT_SCALE_FACTOR=2 "$@"; kill $!' sh \
    build/tools/screenshots/korva_screenshots --whole-screen "$DEMO" "$OUT/main-window-scale2.png"
else
  echo "openbox is not installed: $OUT/main-window-scale2.png not taken (apt-get install openbox)" >&2
fi
build/src/korva play "$DEMO/demo.korva" --db "$DEMO/korva_db.xml" -o "$DEMO/demo-play.html" 2>/dev/null
xvfb-run "${SCREEN[@]}" tools/screenshots/play-page.sh "$DEMO/demo-play.html" "$OUT/play-page.png"
