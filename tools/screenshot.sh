#!/usr/bin/env bash
# Takes a picture of the cartloom window as a user sees it after a write: under Xvfb, on a
# simulated 32 Mbit cartridge, after writing and verifying a generated 32 Mbit game image with
# the Write button and the file dialog.
# Usage: tools/screenshot.sh [OUT.png]      (default docs/screenshot.png)
#        BUILD_DIR=build/dev tools/screenshot.sh   uses an existing build tree as it is
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/screenshot.png}"
if [ -z "${BUILD_DIR:-}" ]; then
  scripts/install-deps.sh
  cmake --preset release >/dev/null
fi
build="${BUILD_DIR:-build/release}"
cmake --build "$build" --target cartloom_drive mkimage
work=$(mktemp -d /tmp/cartloom-shot.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$build/tools/mkimage" --size-mbit 32 --title "LOOM DEMO" "$work/game.ngp"
mkdir -p "$(dirname "$out")"
# A missing LINKSIM file is created as a blank 4 MiB (32 Mbit) cartridge.
LINKSIM="$work/cart.bin" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 800x600x24" \
  "$build/tests/cartloom_app/cartloom_drive" --image "$work/game.ngp" --screenshot "$out"
echo "Saved $out"
