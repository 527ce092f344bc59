#!/usr/bin/env bash
# Installs what is needed, builds KORVA Builder, and runs the main job on the
# bundled default: the sixteen test games of tests/games become a demo
# project, its three programming images and its play-test page
# (demo-play.html) in ./korva-demo (or $1). When a
# display is available, the window then opens on the demo project.
set -euo pipefail
cd "$(dirname "$0")/.."
OUT="${1:-$PWD/korva-demo}"

if [ "${SKIP_INSTALL:-0}" != "1" ]; then
  scripts/install-deps.sh
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"

# The default directory is the script's own to rewrite; one the user named
# must be new or empty (korva demo refuses otherwise).
if [ -z "${1:-}" ]; then build/src/korva demo "$OUT" --force; else build/src/korva demo "$OUT"; fi
# The demo cartridge as a web page that plays it, menu and all sixteen games.
build/src/korva play "$OUT/demo.korva" --db "$OUT/korva_db.xml"
echo "The demo's play page: $OUT/demo-play.html (open it in a web browser)"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/src/app/korva-builder ]; then
  echo "Opening the window on $OUT/demo.korva"
  build/src/app/korva-builder "$OUT/demo.korva" || true
fi
