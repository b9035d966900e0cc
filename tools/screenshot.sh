#!/usr/bin/env bash
# Takes a picture of the cartloom window as a user sees it after a write: under Xvfb, on a
# simulated 32 Mbit cartridge, after writing and verifying a generated 32 Mbit game image with
# the Write button and the file dialog.
# Usage: tools/screenshot.sh [OUT.png]      (default /tmp/cartloom-screenshot.png)
#        tools/screenshot.sh docs/screenshot.png   replaces the README's picture
#        BUILD_DIR=build/dev tools/screenshot.sh   uses an existing build tree as it is
set -euo pipefail
# Both paths are the caller's, taken before moving to the repository.
out="$(realpath -m -- "${1:-/tmp/cartloom-screenshot.png}")"
[ -n "${BUILD_DIR:-}" ] && BUILD_DIR="$(realpath -m -- "$BUILD_DIR")"
cd "$(dirname "$0")/.."
if [ -z "${BUILD_DIR:-}" ]; then
  scripts/install-deps.sh test
  cmake --preset release >/dev/null
fi
build="${BUILD_DIR:-build/release}"
cmake --build "$build" --target cartloom_drive mkimage
work=$(mktemp -d /tmp/cartloom-shot.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$build/tools/mkimage" --size-mbit 32 --title "LOOM DEMO" "$work/game.ngp"
# A missing LINKSIM file is created as a blank 4 MiB (32 Mbit) cartridge.
LINKSIM="$work/cart.bin" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 800x600x24" \
  "$build/tests/cartloom_app/cartloom_drive" --image "$work/game.ngp" --screenshot "$work/shot.png"
# An existing picture is replaced only by a complete one.
mkdir -p "$(dirname "$out")"
cp "$work/shot.png" "$out.tmp$$"
mv -f "$out.tmp$$" "$out"
echo "Saved $out"
