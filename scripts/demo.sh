#!/usr/bin/env bash
# Builds voxtrawl-cli and rips the bundled demo ROM into build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh native
# Only voxtrawl-cli is built: the tests and what they need stay out.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build -j"$(nproc)" --target voxtrawl-cli

rm -rf build/demo && mkdir -p build/demo
build/cli/voxtrawl-cli rip assets/demo.sfc --out build/demo
echo
echo "The WAV files are in $(pwd)/build/demo/:"
ls build/demo | sort -n | tr '\n' ' '
echo
