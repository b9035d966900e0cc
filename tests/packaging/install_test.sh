#!/usr/bin/env bash
# Usage: install_test.sh BUILD_DIR WITH_CARTLOOM(0|1) VERSION
set -euo pipefail
build="$1"
with_cartloom="$2"
version="$3"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

DESTDIR="$stage/root" cmake --install "$build" --prefix /usr >/dev/null
root="$stage/root/usr"

programs=(tidewick)
[ "$with_cartloom" = 1 ] && programs+=(cartloom)
# The files of each program's package.
files_of() {
  local p="$1"
  echo "bin/$p share/man/man1/$p.1.gz share/doc/$p/copyright share/doc/$p/changelog.gz"
  echo "share/lintian/overrides/$p"
  if [ "$p" = cartloom ]; then
    echo "share/applications/cartloom.desktop share/icons/hicolor/scalable/apps/cartloom.svg"
  fi
}
for p in "${programs[@]}"; do
  for f in $(files_of "$p"); do
    [ -f "$root/$f" ] || fail "missing /usr/$f in the staged install"
  done
  [ -x "$root/bin/$p" ] || fail "$p is not executable"
done

# The installed program runs on its own.
"$root/bin/tidewick" '/?' | grep -q "Syntax: Tidewick" || fail "installed tidewick /? failed"

# The man pages render without a single warning, carry the project's version and say what a
# user needs.
declare -A words=(
  [tidewick]="/p --help --version TWKPORT LINKSIM LINKSIM_OPTS PORTIO EXAMPLES"
  [cartloom]="Write Verify Backup LINKSIM LINKSIM_OPTS PORTIO ppdev cap_sys_rawio lp"
)
declare -A sections=([tidewick]="EXIT STATUS" [cartloom]="PORT ACCESS AND PERMISSIONS")
for p in "${programs[@]}"; do
  man="$root/share/man/man1/$p.1.gz"
  warnings="$(MANWIDTH=80 man --warnings -l "$man" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "man -l $p.1.gz warns: $warnings"
  warnings="$(zcat "$man" | groff -man -ww -z 2>&1)"
  [ -z "$warnings" ] || fail "groff warns on $p.1: $warnings"
  zcat "$man" | sed -n 1p | grep -qF "\"$p $version\"" || fail "$p.1 does not show version $version"
  page="$(MANWIDTH=80 man -l "$man" 2>/dev/null)"
  for word in ${words[$p]} "${sections[$p]}"; do
    grep -qF -- "$word" <<<"$page" || fail "the man page $p.1 does not mention $word"
  done
  zcat "$root/share/doc/$p/changelog.gz" | sed -n 1p | grep -qF "$p ($version)" ||
    fail "the changelog of $p does not start with version $version"
  grep -q "^License: Expat" "$root/share/doc/$p/copyright" || fail "$p's copyright names no licence"
done

if [ "$with_cartloom" = 1 ]; then
  desktop="$root/share/applications/cartloom.desktop"
  grep -qx "Exec=cartloom" "$desktop" || fail "the desktop entry does not start cartloom"
  grep -qx "Icon=cartloom" "$desktop" || fail "the desktop entry does not name the icon"
  if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi
  grep -q "<svg" "$root/share/icons/hicolor/scalable/apps/cartloom.svg" || fail "icon is no SVG"

  # The window, as a desktop sees it on X11: the class the entry names, and an icon.
  wmclass="$(sed -n 's/^StartupWMClass=//p' "$desktop")"
  [ -n "$wmclass" ] || fail "the desktop entry names no StartupWMClass"
  cat >"$stage/window.sh" <<EOF
LINKSIM="$stage/cart.bin" QT_QPA_PLATFORM=xcb "$root/bin/cartloom" 2>/dev/null & pid=\$!
for _ in \$(seq 100); do
  id="\$(xwininfo -root -tree | awk '/"CARTLOOM Version 1.2"/ { print \$1; exit }')"
  [ -n "\$id" ] && break
  sleep 0.1
done
[ -n "\$id" ] && xprop -id "\$id" WM_CLASS _NET_WM_ICON | head -3
kill \$pid
wait \$pid || true
EOF
  props="$(xvfb-run -a bash "$stage/window.sh")"
  grep -q '^WM_CLASS' <<<"$props" || fail "the window did not appear: $props"
  grep -qF "WM_CLASS(STRING) = \"cartloom\", \"$wmclass\"" <<<"$props" ||
    fail "the window class is not the entry's $wmclass: $props"
  grep -q '^_NET_WM_ICON(CARDINAL) =' <<<"$props" || fail "the window has no icon: $props"
fi

# One Debian package per program, each with its own files, of the project's version; lintian
# finds nothing to warn about.
(cd "$build" && cpack -G DEB -B "$stage/pkg" >"$stage/cpack.log" 2>&1) ||
  fail "cpack could not build the .debs: $(cat "$stage/cpack.log")"
debs=()
for p in "${programs[@]}"; do
  deb="$stage/pkg/${p}_${version}_$(dpkg --print-architecture).deb"
  [ -f "$deb" ] || fail "no package $p: $(ls "$stage/pkg")"
  debs+=("$deb")
  contents="$(dpkg-deb -c "$deb")"
  for f in $(files_of "$p"); do
    grep -qF "./usr/$f" <<<"$contents" || fail "the $p package lacks /usr/$f"
  done
  for other in "${programs[@]}"; do
    [ "$other" = "$p" ] && continue
    ! grep -qF "./usr/bin/$other" <<<"$contents" || fail "the $p package holds $other"
  done
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$p is not version $version"
  [ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 3 ] || fail "$p has no extended description"
done
! dpkg-deb -f "${debs[0]}" Depends | grep -qi qt || fail "tidewick depends on Qt"
out="$(lintian --fail-on error,warning "${debs[@]}" 2>&1)" || fail "lintian: $out"
echo "install and package: ok"
