#!/usr/bin/env bash
# Sets up the build machine, builds with warnings as errors and runs every test.
# Usage: scripts/test.sh [preset]   (dev by default; also release, asan)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
scripts/install-deps.sh test
cmake --preset "$preset"
cmake --build --preset "$preset"
QT_QPA_PLATFORM=offscreen ctest --preset "$preset"
