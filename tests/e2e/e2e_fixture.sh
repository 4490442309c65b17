#!/usr/bin/env bash
# Fixture of the Win32 end-to-end tests, run by ctest with WINE and
# WINESERVER (the loader and server of the build's bitness), WINEPREFIX,
# WINEARCH, WINEDEBUG and WINEDLLOVERRIDES set.
#   setup BINDIR EXE CLI DEMO_ROM SCREENSHOT_DIR
#       creates the Wine prefix if needed, starts one wineserver for all
#       scenarios, writes the crafted ROMs with the reference WAVs that the
#       native voxtrawl-cli makes of them (each sample at 8000 and 22050 Hz,
#       all samples in one file at 8000 Hz; the ROMs with non-ASCII names
#       each sample at 8000 Hz), and the paths file of the driver.
#   cleanup
#       stops the wineserver.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine=${WINE:-wine} wineserver=${WINESERVER:-wineserver}

setup() {
    local bindir=$1 exe=$2 cli=$3 demo=$4 shots=$5
    # A server left over from an aborted run breaks the setup.
    "$wineserver" -k 2>/dev/null || true
    # Every wine call is kept off ctest's output: Wine's background
    # processes inherit it, and ctest would wait for them to close it.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$wine" wineboot -i </dev/null >/dev/null 2>&1
        "$wineserver" -w
    fi
    "$wineserver" -p </dev/null >/dev/null 2>&1
    # Without a window manager Wine waits for one at every closed window.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    # A crash ends the process instead of waiting in a dialog.
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1

    # Screenshots of failures in an earlier run would mislead.
    rm -f "$shots"/e2e-failure-*.png
    local data=$bindir/data
    rm -rf "$data"
    python3 "$here/make_test_roms.py" "$data"
    if [ ! -x "$cli" ]; then
        echo "voxtrawl-cli not found at $cli (set VOXTRAWL_CLI)" >&2
        exit 1
    fi
    local rate
    for rate in 8000 22050; do
        mkdir -p "$data/ref-$rate"
        "$cli" rip "$data/crafted.sfc" --rate "$rate" --out "$data/ref-$rate" >/dev/null
    done
    "$cli" rip "$data/crafted.sfc" --one-file "$data/ref-8000-all.wav" >/dev/null
    # The ROMs with non-ASCII names (UTF-8 here, code page 1252 in Wine),
    # ripped into the directories named after them.
    "$cli" rip "$data/Kirby"$'\xe2\x80\x99'"s Demo.sfc" --rate 8000 >/dev/null
    "$cli" rip "$data/Pok"$'\xc3\xa9'"mon Test.smc" --rate 8000 >/dev/null

    {
        echo "voxtrawl=$("$wine" winepath -w "$exe" 2>/dev/null)"
        echo "data=$("$wine" winepath -w "$data" 2>/dev/null)"
        echo "demo=$("$wine" winepath -w "$demo" 2>/dev/null)"
        echo "screenshots=$shots"
    } >"$bindir/e2e-paths.txt"
    cat "$bindir/e2e-paths.txt"
}

case "${1:-}" in
setup) shift; setup "$@" ;;
cleanup) "$wineserver" -k 2>/dev/null || true ;;
*) echo "usage: $0 setup BINDIR EXE CLI DEMO_ROM SCREENSHOT_DIR | cleanup" >&2; exit 2 ;;
esac
