#!/usr/bin/env bash
# Installs what the build needs on Debian: "native" for the command-line
# tool alone (scripts/demo.sh), "all" adds the tests: GoogleTest, the Win32
# cross builds (i686 and x86_64), 32- and 64-bit Wine, the fuzzers and the
# browser for the end-to-end tests.
set -euo pipefail

level=${1:-native}
packages=(cmake g++ make libcli11-dev nlohmann-json3-dev)
if [ "$level" = all ]; then
    packages+=(libgtest-dev python3 sndfile-programs g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
               wine wine32:i386 wine64 xvfb xauth imagemagick
               clang libclang-rt-14-dev libfuzzer-14-dev chromium libfluidsynth-dev fluidsynth pkg-config)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# Node.js may come from elsewhere than Debian; only install it when absent.
if [ "$level" = all ] && ! command -v npm >/dev/null 2>&1; then
    missing+=(nodejs npm)
fi
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    if [ "$level" = all ]; then $sudo_cmd dpkg --add-architecture i386; fi
    $sudo_cmd apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
