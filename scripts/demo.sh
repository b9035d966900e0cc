#!/usr/bin/env bash
# Installs what building and running the programs needs, builds cartloom, tidewick and mkimage,
# and runs tidewick on a simulated 32 Mbit cartridge: write a generated game image, show the
# cartridge header, back the cartridge up and verify it against the image. Ends with the command
# that opens the window on the same simulated cartridge.
# Usage: scripts/demo.sh [--window]   (--window then opens it, with the game image beside it)
set -euo pipefail
cd "$(dirname "$0")/.."
window=0
case "${1:-}" in
  "") ;;
  --window) window=1 ;;
  *) echo "Usage: scripts/demo.sh [--window]" >&2; exit 2 ;;
esac

scripts/install-deps.sh build
cmake --preset demo >/dev/null
cmake --build --preset demo --target tidewick mkimage cartloom
bin=$PWD/build/demo
work=$(mktemp -d /tmp/cartloom-demo.XXXXXX)
# tidewick takes every argument that starts with / or - as a switch: use names relative to here.
cd "$work"
echo "Working in $work"
"$bin/tools/mkimage" --size-mbit 32 --title "DEMO GAME" game.ngp
export LINKSIM=cart.bin              # created as a blank 32 Mbit cartridge
export LINKSIM_OPTS=stats=stats.txt  # the simulator's counters of the last run
set -x
"$bin/tidewick/tidewick" /w /y game.ngp
"$bin/tidewick/tidewick" /i
"$bin/tidewick/tidewick" /b backup.ngp </dev/null
"$bin/tidewick/tidewick" /v game.ngp
set +x
cmp backup.ngp cart.bin && echo "The backup equals the simulated cartridge."
unset LINKSIM_OPTS

open_window="cd $(printf %q "$work") && LINKSIM=cart.bin $(printf %q "$bin/cartloom/app/cartloom")"
echo
echo "Open the window on the same simulated cartridge (game.ngp is in that folder):"
echo "    $open_window"
[ "$window" = 1 ] || exit 0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display to open the window on (DISPLAY and WAYLAND_DISPLAY are empty)." >&2
  exit 1
fi
exec "$bin/cartloom/app/cartloom"
