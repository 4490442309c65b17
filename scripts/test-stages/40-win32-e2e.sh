#!/usr/bin/env bash
# Cross-builds voxtrawl.exe, voxtrawl-cli.exe and the end-to-end driver, runs the
# scenarios under Wine on a virtual X display, one at a time, and compares
# voxtrawl-cli.exe with the native build under Wine. The Wine
# prefix is created inside the build tree on the first run.
set -euo pipefail
cd "$(dirname "$0")/../.."

# Both can be pointed elsewhere to try the stage beside another build.
build=${E2E_BUILD_DIR:-build-win32}
cli=${VOXTRAWL_CLI:-build/cli/voxtrawl-cli}

# The reference WAV files come from the native command-line tool.
if [ ! -x "$cli" ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON >/dev/null
    cmake --build build -j2 --target voxtrawl-cli
fi

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DVOXTRAWL_CLI="$(realpath "$cli")" >/dev/null
cmake --build "$build" -j2

# ctest's fixture stops the wineserver; this also covers an interrupted run.
stop_wineserver() { WINEPREFIX="$PWD/$build/wineprefix" WINEARCH=win32 wineserver -k 2>/dev/null || true; }
trap stop_wineserver EXIT

xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    ctest --test-dir "$build/tests/e2e" --output-on-failure
echo "screenshot of the demo ROM: $build/screenshot-demo.png"
