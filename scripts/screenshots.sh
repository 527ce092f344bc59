#!/usr/bin/env bash
# Runs the window under Xvfb on the demo project and saves a PNG of the main
# window into docs/screenshots/. Needs a build (scripts/demo.sh) first.
set -euo pipefail
cd "$(dirname "$0")/.."
DEMO="${DEMO:-$PWD/korva-demo}"
[ -f "$DEMO/demo.korva" ] || build/src/korva demo "$DEMO"
mkdir -p docs/screenshots
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "
  build/src/app/korva-builder '$DEMO/demo.korva' --db '$DEMO/korva_db.xml' &
  pid=\$!
  sleep 4
  import -window root docs/screenshots/main-window-full.png
  kill \$pid
"
convert docs/screenshots/main-window-full.png -trim +repage docs/screenshots/main-window.png
rm -f docs/screenshots/main-window-full.png
echo "docs/screenshots/main-window.png"
