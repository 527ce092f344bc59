#!/usr/bin/env bash
# Takes the pictures of the window in docs/screenshots/ under Xvfb: the main
# window empty, filled with the demo project (its capacity gauge beside the
# instruction lines) and scrolled to its last slots, the demo with its Menu
# Preview beside the window and alone in either palette, a ROM list filtered by typing, a cartridge that
# does not fit, the scan dialog over the disabled window, and the About box.
# Needs a build (scripts/demo.sh) and xvfb-run (scripts/install-deps.sh).
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
