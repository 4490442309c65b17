#!/usr/bin/env bash
# Cross-builds voxtrawl.exe, voxtrawl-cli.exe and the end-to-end driver twice:
# for i686 (the programs that ship) and for x86_64. Runs the scenarios under
# Wine on a virtual X display, one at a time, and compares voxtrawl-cli.exe
# with the native build under Wine: on the i686 build under 32-bit Wine where
# this machine runs 32-bit programs, and everywhere on the x86_64 build under
# 64-bit Wine. Each build keeps its own Wine prefix, made on the first run.
# VOXTRAWL_E2E_FORCE_WIN64=1 tests the x86_64 build alone, as on a machine
# without 32-bit support.
set -euo pipefail
cd "$(dirname "$0")/../.."

# These can be pointed elsewhere to try the stage beside other builds.
build32=${E2E_BUILD_DIR:-build-win32}
build64=${E2E_BUILD_DIR_WIN64:-build-win64}
cli=${VOXTRAWL_CLI:-build/cli/voxtrawl-cli}

# The reference WAV files come from the native command-line tool.
if [ ! -x "$cli" ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON >/dev/null
    cmake --build build -j2 --target voxtrawl-cli
fi

cross_build() {
    cmake -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$2.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DVOXTRAWL_CLI="$(realpath "$cli")" >/dev/null
    cmake --build "$1" -j2
}
started=$SECONDS
cross_build "$build32" mingw-i686
cross_build "$build64" mingw-x86_64
echo "-- cross builds (i686 and x86_64): $((SECONDS - started)) s"

# The Wine loader or server that the toolchain file found for a build.
cached() { sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"; }

# ctest's fixture stops each wineserver; this also covers an interrupted run.
stop_wineservers() {
    local build
    for build in "$build32" "$build64"; do
        WINEPREFIX="$PWD/$build/wineprefix" "$(cached "$build" WINESERVER_EXECUTABLE)" -k 2>/dev/null || true
    done
}
trap stop_wineservers EXIT

# Whether 32-bit programs run here, tried with the i686 build of a program
# that exits with its pointer width (this also makes the 32-bit prefix).
# Only a kernel that refuses the 32-bit loader means "no"; any other failure
# stops the stage rather than quietly leaving the shipped build untested.
runs_32bit_programs() {
    local log=$build32/pointer-width.log code=0
    WINEPREFIX="$PWD/$build32/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        "$(cached "$build32" WINE_EXECUTABLE)" "$build32/tests/e2e/pointer_width.exe" </dev/null >"$log" 2>&1 || code=$?
    WINEPREFIX="$PWD/$build32/wineprefix" "$(cached "$build32" WINESERVER_EXECUTABLE)" -k 2>/dev/null || true
    [ "$code" = 32 ] && return 0
    grep -q "Exec format error" "$log" && return 1
    echo "cannot tell whether this machine runs 32-bit programs: pointer_width.exe ended with code $code:" >&2
    cat "$log" >&2
    exit 1
}

# road NAME BUILD [START]: runs the scenarios and the CLI comparison, and
# says how long they took since START (by default, from now).
failed=()
road() {
    local name=$1 build=$2 start=${3:-$SECONDS} code=0
    echo "-- $name"
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
        ctest --test-dir "$build/tests/e2e" --output-on-failure || code=$?
    if [ "$code" = 0 ]; then
        echo "-- $name: passed in $((SECONDS - start)) s (screenshot of the demo ROM: $build/screenshot-demo.png)"
    else
        echo "-- $name: FAILED after $((SECONDS - start)) s"
        failed+=("$name")
    fi
}

win32_road="i686 build under 32-bit Wine"
win64_road="x86_64 build under 64-bit Wine"
# The i686 road's time counts the check, which makes its Wine prefix.
started=$SECONDS
if [ "${VOXTRAWL_E2E_FORCE_WIN64:-0}" = 1 ]; then
    echo "VOXTRAWL_E2E_FORCE_WIN64=1: testing the x86_64 build of the same sources under 64-bit Wine alone"
elif runs_32bit_programs; then
    road "$win32_road" "$build32" "$started"
else
    echo "this machine runs no 32-bit programs: testing the x86_64 build of the same sources under 64-bit Wine"
fi
road "$win64_road" "$build64"

if [ ${#failed[@]} -gt 0 ]; then
    echo "failed: ${failed[*]}" >&2
    exit 1
fi
