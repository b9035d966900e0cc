#!/usr/bin/env bash
# Usage: install_test.sh BUILD_DIR WITH_CARTLOOM(0|1)
set -euo pipefail
build="$1"
with_cartloom="$2"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

DESTDIR="$stage/root" cmake --install "$build" --prefix /usr >/dev/null
root="$stage/root/usr"

expected=(bin/tidewick share/man/man1/tidewick.1)
if [ "$with_cartloom" = 1 ]; then
  expected+=(bin/cartloom share/applications/cartloom.desktop
             share/icons/hicolor/scalable/apps/cartloom.svg)
fi
for f in "${expected[@]}"; do
  [ -f "$root/$f" ] || fail "missing /usr/$f in the staged install"
done
[ -x "$root/bin/tidewick" ] || fail "tidewick is not executable"

# The installed program runs on its own.
"$root/bin/tidewick" '/?' | grep -q "Syntax: Tidewick" || fail "installed tidewick /? failed"

# The man page renders without a single warning.
warnings="$(MANWIDTH=80 man --warnings -l "$root/share/man/man1/tidewick.1" 2>&1 >/dev/null)"
[ -z "$warnings" ] || fail "man -l warns: $warnings"
warnings="$(groff -man -ww -z "$root/share/man/man1/tidewick.1" 2>&1)"
[ -z "$warnings" ] || fail "groff warns: $warnings"
page="$(MANWIDTH=80 man -l "$root/share/man/man1/tidewick.1" 2>/dev/null)"
for word in /p TWKPORT LINKSIM LINKSIM_OPTS PORTIO "EXIT STATUS" EXAMPLES; do
  grep -qF -- "$word" <<<"$page" || fail "the man page does not mention $word"
done

if [ "$with_cartloom" = 1 ]; then
  desktop="$root/share/applications/cartloom.desktop"
  grep -qx "Exec=cartloom" "$desktop" || fail "the desktop entry does not start cartloom"
  grep -qx "Icon=cartloom" "$desktop" || fail "the desktop entry does not name the icon"
  if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi
  grep -q "<svg" "$root/share/icons/hicolor/scalable/apps/cartloom.svg" || fail "icon is no SVG"
fi

# The Debian package holds the same files.
(cd "$build" && cpack -G DEB -B "$stage/pkg" >/dev/null) || fail "cpack could not build the .deb"
deb="$(ls "$stage"/pkg/*.deb)"
contents="$(dpkg-deb -c "$deb")"
for f in "${expected[@]}"; do
  grep -qF "./usr/$f" <<<"$contents" || fail "the .deb lacks /usr/$f"
done
[ "$(dpkg-deb -f "$deb" Package)" = cartloom-tidewick ] || fail "wrong package name"
echo "install and package: ok"
