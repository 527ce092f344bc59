#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing KORVA Builder need.
# Runs apt-get through sudo when not root.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  cmake ninja-build g++ pkg-config
  zlib1g-dev libdeflate-dev libpng-dev libpugixml-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev llvm
  cc65
  xvfb xauth
  desktop-file-utils appstream lintian dpkg-dev fakeroot file
  python3
  chromium
)
# Chromium runs the play-test page's test (tests/emulator/play.test.js).
# Node.js and npm run the emulator proof and fetch jsnes for the play-test
# page at build time; keep a Node.js that is already there.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  PACKAGES+=(nodejs npm)
fi

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${PACKAGES[@]}"
