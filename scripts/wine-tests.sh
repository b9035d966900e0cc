#!/usr/bin/env bash
# Builds the 64-bit Windows tidewick with MinGW-w64 and runs a few end-to-end cases under Wine,
# headless, against the simulated linker. The 32-bit build, the deliverable, cannot run there
# (Debian's wine64 runs no 32-bit programs): it is checked for what it imports, which must all
# be in Windows XP (scripts/xp-imports.txt), for being stripped, and for the ZIP that holds it.
# Usage: scripts/wine-tests.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows

wine="${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}"
[ -x "$wine" ] || { echo "wine64 not found (apt-get install wine64)"; exit 1; }

cmake --preset win32 >/dev/null && cmake --build --preset win32
cmake --preset win64 >/dev/null && cmake --build --preset win64
exe=build/win64/tidewick/tidewick.exe
mkimage=build/win64/tools/mkimage.exe

work="$(mktemp -d)"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
export -n LINKSIM LINKSIM_OPTS TWKPORT PORTIO 2>/dev/null || true
unset LINKSIM LINKSIM_OPTS TWKPORT PORTIO
"$wine" wineboot --init >/dev/null 2>&1 || true

win() { local p; p="$(realpath -m "$1")"; echo "Z:${p//\//\\}"; }

failures=0
check() {  # check NAME PROBLEM: an empty PROBLEM passes
    if [ -n "$2" ]; then
        echo "FAIL $1"; echo "$2" | sed 's/^/    /'; failures=$((failures + 1))
    else
        echo "ok   $1"
    fi
}

# The deliverable: the ZIP of the 32-bit build.
objdump=i686-w64-mingw32-objdump
zip="$(cd build/win32 && cpack -G ZIP -B "$work/zip" >/dev/null && ls "$work"/zip/*.zip)" || zip=""
listing="$([ -n "$zip" ] && cmake -E tar tf "$zip" | sed 's|^[^/]*/||' | sort | tr '\n' ' ')"
check "ZIP holds tidewick.exe, its readme and the licence" \
    "$([ "$listing" = "LICENSE.txt README-windows.txt tidewick.exe " ] || echo "zip: ${zip:-none}, holding: $listing")"
[ -n "$zip" ] || { echo "wine: cpack made no ZIP"; exit 1; }
(cd "$work/zip" && cmake -E tar xf "$zip")
unpacked="${zip%.zip}"
exe32="$unpacked/tidewick.exe"
format="$("$objdump" -f "$exe32" 2>&1 || true)"
check "the ZIP's exe is a 32-bit one" "$([[ "$format" == *"file format pei-i386"* ]] || echo "$format")"
# "DLL function" for every import, against the list of what XP has.
imports="$("$objdump" -p "$exe32" | awk '
    /DLL Name:/ { dll = $3; next }
    /^$/ { dll = "" }
    dll != "" && /^\t[0-9a-f]+\t/ { print dll, $NF }')"
[ -n "$imports" ] || imports="(objdump listed no imports)"
unknown="$(grep -vxF -f <(grep -v '^#' scripts/xp-imports.txt) <<<"$imports" || true)"
check "it imports nothing newer than Windows XP" "$([ -z "$unknown" ] || printf '%s\n' "$unknown" \
    "(scripts/xp-imports.txt lists what is known to be in XP; add an import once checked)")"
debug_sections() { "$objdump" -h "$1" | awk '$2 ~ /^\.debug/ { print $2 }'; }
check "it is stripped" "$(debug_sections "$exe32")"
check "so is build/win32/tidewick/tidewick.exe" "$(debug_sections build/win32/tidewick/tidewick.exe)"
check "README-windows.txt has Windows line ends" \
    "$(awk '!/\r$/ { n++ } END { if (n) print n " lines end without CR" }' "$unpacked/README-windows.txt")"

# run NAME EXPECTED_EXIT EXPECTED_TEXT [VAR=VALUE...] -- ARGS...
run() {
    local name="$1" want_rc="$2" want_text="$3"; shift 3
    local env=()
    while [ "$1" != "--" ]; do env+=("$1"); shift; done
    shift
    local out rc=0
    # pipefail: the exit code is the program's whenever it is not 0.
    out="$(env "${env[@]}" "$wine" "$exe" "$@" </dev/null 2>&1 | tr -d '\r\0')" || rc=$?
    if [ "$rc" != "$want_rc" ] || ! grep -qF -- "$want_text" <<<"$out"; then
        echo "FAIL $name (exit $rc, wanted $want_rc and \"$want_text\")"
        echo "$out" | sed 's/^/    /'
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

"$wine" "$mkimage" --size-mbit 4 --title "WINE TEST" "$(win "$work/game.ngp")" >/dev/null
cart="$work/cart.bin"
linksim="LINKSIM=$(win "$cart")"

run "help" 0 "Syntax: Tidewick [<option(s)>] [<filename>]" -- "/?"
run "no linker" 1 "Flash Linker could not be found at port 0x378!" \
    "$linksim" LINKSIM_OPTS=nolinker -- /i
run "no cartridge" 1 "No cartridge detected!" "$linksim" LINKSIM_OPTS=nocart --
run "TWKPORT picks the base" 0 "Tidewick v1.01" \
    "$linksim" LINKSIM_OPTS=base=0x278 TWKPORT=632 -- /p888
run "write" 0 'Filename: "' "$linksim" -- /w /y "$(win "$work/game.ngp")"
if ! cmp -s -n "$(stat -c %s "$work/game.ngp")" "$work/game.ngp" "$cart"; then
    echo "FAIL write: the cartridge file does not hold the image"; failures=$((failures + 1))
fi
run "verify" 0 'Filename: "' "$linksim" -- /v "$(win "$work/game.ngp")"
run "info" 0 "WINE TEST" "$linksim" -- /i
run "backup" 0 'Filename: "' "$linksim" -- /b "$(win "$work/backup.bin")"
if ! cmp -s "$cart" "$work/backup.bin"; then
    echo "FAIL backup: the backup differs from the cartridge"; failures=$((failures + 1))
fi
run "program failure" 1 "Program error at 0x000100" \
    "$linksim" LINKSIM_OPTS=stuck=100 -- /w /y "$(win "$work/game.ngp")"
head -c 1000 /dev/zero >"$work/short.bin"
run "cartridge file of a wrong size" 1 "is 1000 bytes" "LINKSIM=$(win "$work/short.bin")" -- /i
# Without the simulator the real way in is the GiveIO driver, which Wine does not have.
run "no GiveIO driver" 1 "GiveIO driver could not be opened!" --
run "refused simulator options" 1 "turbo" "$linksim" LINKSIM_OPTS=turbo --

[ "$failures" -eq 0 ] && echo "wine: all cases passed" || { echo "wine: $failures failed"; exit 1; }
