#!/usr/bin/env bash
# The play-test page in a Chromium window, for the documentation: run inside
# an X server (scripts/screenshots.sh runs it under xvfb-run), with openbox as
# the window manager. Clicks into the page (which starts the sound), presses
# Down twice and saves the window's area of the screen.
#   tools/screenshots/play-page.sh PAGE.html OUT.png
set -euo pipefail
PAGE="$(realpath "$1")"
OUT="$2"
PROFILE="$(mktemp -d)"
trap 'rm -rf "$PROFILE"' EXIT
openbox >/dev/null 2>&1 &
WM=$!
sleep 1 # the window manager first, so that it frames the browser
# The network is closed and nothing may be fetched: an empty profile, no
# background traffic; as root Chromium runs only without its sandbox.
SANDBOX=()
if [ "$(id -u)" -eq 0 ]; then SANDBOX=(--no-sandbox --test-type); fi
chromium "${SANDBOX[@]}" --disable-gpu --disable-background-networking --disable-component-update --disable-sync \
  --no-first-run --no-default-browser-check --user-data-dir="$PROFILE" \
  --window-position=0,0 --window-size=1180,860 "file://$PAGE" >/dev/null 2>&1 &
BROWSER=$!
# Until the page runs (the page sets its title once it does).
for _ in $(seq 60); do
  xdotool search --onlyvisible --name "play test - Chromium" >/dev/null 2>&1 && break
  sleep 0.5
done
sleep 3
xdotool search --onlyvisible --name "play test - Chromium" windowactivate --sync >/dev/null 2>&1 || true
xdotool mousemove 500 820 click 1 # into the page, beside the picture (this starts the sound)
sleep 1
xdotool key Down
sleep 1
xdotool key Down
sleep 2
import -window root -crop 1180x860+0+0 +repage "$OUT"
kill "$BROWSER" "$WM" 2>/dev/null || true
wait 2>/dev/null || true
echo "$OUT"
