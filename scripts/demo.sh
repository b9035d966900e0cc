#!/usr/bin/env bash
# Sets up the build machine, builds the programs and runs tidewick on a simulated 32 Mbit
# cartridge: write a generated game image, show the cartridge header, back the cartridge up and
# verify it against the image.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tidewick mkimage
bin=build/release
work=$(mktemp -d /tmp/cartloom-demo.XXXXXX)
echo "Working in $work"
"$bin/tools/mkimage" --size-mbit 32 --title "DEMO GAME" "$work/game.ngp"
export LINKSIM="$work/cart.bin"   # created as a blank 4 MiB cartridge
export LINKSIM_OPTS="stats=$work/stats.txt"
set -x
"$bin/tidewick/tidewick" /w /y "$work/game.ngp"
"$bin/tidewick/tidewick" /i
"$bin/tidewick/tidewick" /b /y "$work/backup.ngp"
"$bin/tidewick/tidewick" /v "$work/game.ngp"
set +x
cmp "$work/backup.ngp" "$LINKSIM" && echo "The backup equals the simulated cartridge."
