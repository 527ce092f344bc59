#!/usr/bin/env bash
# Takes the pictures of the window in docs/screenshots/ under Xvfb: the main
# window empty, filled with the demo project (its capacity gauge beside the
# instruction lines) and scrolled to its last slots, the demo with its Menu
# Preview beside the window and alone in either palette, a ROM list filtered by typing, a cartridge that
# does not fit, the scan dialog over the disabled window, the About box, and
# the demo's play-test page in a Chromium window.
# Needs a build (scripts/demo.sh), xvfb-run and chromium (scripts/install-deps.sh),
# and for the play page's window openbox, xdotool and ImageMagick's import
# (apt-get install openbox xdotool imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
DEMO="${DEMO:-$PWD/korva-demo}"
OUT="${OUT:-$PWD/docs/screenshots}"
[ -f "$DEMO/demo.korva" ] || build/src/korva demo "$DEMO"
mkdir -p "$OUT"
SCREEN=(-a -s "-screen 0 1280x1024x24")
xvfb-run "${SCREEN[@]}" build/tools/screenshots/korva_screenshots "$DEMO" "$OUT"
KORVA_SCREENSHOT="$OUT/about.png" xvfb-run "${SCREEN[@]}" build/tests/about/korva_about_tests screenshot >/dev/null
echo "$OUT/about.png"
build/src/korva play "$DEMO/demo.korva" --db "$DEMO/korva_db.xml" -o "$DEMO/demo-play.html" 2>/dev/null
xvfb-run "${SCREEN[@]}" tools/screenshots/play-page.sh "$DEMO/demo-play.html" "$OUT/play-page.png"
