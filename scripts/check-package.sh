#!/usr/bin/env bash
# Makes the Debian package from a configured and built release build
# directory, installs it with apt-get, runs the installed programs from
# /usr/bin (the demo, its play-test page, a scan), checks that they wrote
# nothing under /usr, validates the desktop
# entry and the metainfo, runs lintian, and removes the package again.
#   scripts/check-package.sh [BUILD_DIR]     (default: build)
# Needs root or sudo; scripts/test.sh runs it. Every step has a time limit.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

rm -f "$BUILD"/korva-builder_*.deb
(cd "$BUILD" && timeout 300 cpack -G DEB)
debs=("$BUILD"/korva-builder_*_amd64.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || { echo "expected one korva-builder_*_amd64.deb in $BUILD"; exit 1; }
deb="$(realpath "${debs[0]}")"
version_text="KORVA Builder [Build $(dpkg-deb --field "$deb" Version)]"
echo "-- $(basename "$deb")"
dpkg-deb --info "$deb" | grep -E '^ (Package|Version|Architecture|Depends):'

echo "-- lintian"
timeout 300 lintian --fail-on error --display-level '>=warning' "$deb"

work="$(mktemp -d)"
remove_package() {
  timeout 300 $SUDO apt-get remove -y --purge korva-builder >/dev/null || true
  rm -rf "$work"
}
trap remove_package EXIT

echo "-- apt-get install"
(cd "$(dirname "$deb")" && timeout 600 $SUDO apt-get install -y ./korva-builder_*_amd64.deb)
stamp="$work/stamp"
touch "$stamp"

fail() { echo "check-package: $*" >&2; exit 1; }

echo "-- the installed programs"
[ "$(/usr/bin/korva --version)" = "$version_text" ] || fail "korva --version does not print \"$version_text\""
[ "$(QT_QPA_PLATFORM=offscreen /usr/bin/korva-builder --version)" = "$version_text" ] ||
  fail "korva-builder --version does not print \"$version_text\""
(cd "$work" && timeout 120 /usr/bin/korva demo "$work/demo" >/dev/null) || fail "korva demo failed"
for image in demo-prg.bin demo-chr.bin demo-instrom.bin; do
  [ -s "$work/demo/$image" ] || fail "korva demo did not write $image"
done
# The play-test page needs nothing but the installed program: jsnes and the
# board model are inside it.
(cd "$work" && timeout 120 /usr/bin/korva play "$work/demo/demo.korva" --db "$work/demo/korva_db.xml" 2>/dev/null) ||
  fail "korva play failed"
grep -q "KorvaBoard" "$work/demo/demo-play.html" && grep -q "jsnes" "$work/demo/demo-play.html" ||
  fail "korva play wrote a page without the emulator or the board model"
# With no --db, an installed program keeps its ROM database in the user's
# data directory, never beside itself, even as root.
(cd "$work" && XDG_DATA_HOME="$work/data" timeout 120 /usr/bin/korva scan "$work/demo/roms" >/dev/null) ||
  fail "korva scan failed"
written="$(find /usr -xdev -newer "$stamp" -print 2>/dev/null | head -n 20)"
if [ -n "$written" ]; then
  echo "$written" >&2
  $SUDO rm -f /usr/bin/korva_db.xml  # what a misplaced ROM database leaves behind
  fail "the installed programs wrote under /usr (above)"
fi
[ -f "$work/data/korva/korva_db.xml" ] || fail "korva scan did not write \$XDG_DATA_HOME/korva/korva_db.xml"

echo "-- desktop entry and metainfo"
desktop="$(dpkg -L korva-builder | grep '^/usr/share/applications/.*\.desktop$')"
metainfo="$(dpkg -L korva-builder | grep '^/usr/share/metainfo/.*\.metainfo\.xml$')"
desktop-file-validate "$desktop"
timeout 120 appstreamcli validate --no-net "$metainfo"

echo "-- apt-get remove"
trap - EXIT
remove_package
[ ! -e /usr/bin/korva ] && [ ! -e /usr/bin/korva-builder ] || fail "the package's programs are still there"
echo "Package checks passed."
