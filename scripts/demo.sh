#!/usr/bin/env bash
# Sets up the build machine, builds the programs and runs tidewick on a simulated 32 Mbit
# cartridge: write a generated game image, show the cartridge header, back the cartridge up and
# verify it against the image.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tidewick mkimage
bin=$PWD/build/release
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
