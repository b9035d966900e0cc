#!/usr/bin/env bash
# Installs the Debian 12 packages one purpose needs, when any is missing.
# Usage: scripts/install-deps.sh [PURPOSE...]
#   build    build and run cartloom, tidewick and mkimage
#   test     build, plus what the tests add (GoogleTest, Xvfb, man, dpkg-dev, lintian, ...)
#   windows  what the Windows build and its Wine cases need (MinGW-w64, Wine)
#   all      all of these (the default)
set -euo pipefail

build=(cmake ninja-build g++ qt6-base-dev libgl-dev)
# Window tests render with a known font under Xvfb / offscreen; the packaging test renders the
# man pages, builds the .debs and runs lintian on them, and reads the window's X properties.
test=("${build[@]}" libgtest-dev libgmock-dev libbenchmark-dev
      fonts-dejavu-core xvfb xauth x11-utils xdotool
      man-db groff-base dpkg-dev lintian util-linux libcap2-bin)
# The -win32 thread-model compilers: their runtime imports nothing newer than Windows XP has.
windows=(cmake ninja-build g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 wine64)

usage() { sed -n '3,7s/^# \{0,1\}//p' "$0"; exit 2; }
[ $# -gt 0 ] || set -- all
packages=()
for purpose in "$@"; do
  case "$purpose" in
    build) packages+=("${build[@]}") ;;
    test) packages+=("${test[@]}") ;;
    windows) packages+=("${windows[@]}") ;;
    all) packages+=("${test[@]}" "${windows[@]}") ;;
    *) echo "install-deps.sh: unknown purpose '$purpose'" >&2; usage ;;
  esac
done

missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
