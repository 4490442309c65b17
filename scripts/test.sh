#!/usr/bin/env bash
# Runs every test: the unit and command-line tests, the same under the
# sanitizers, short fuzzing runs, the Win32 program under Wine, and the
# report page in a browser. Stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/install-deps.sh all

echo "== native build and unit tests"
# BUILD_TESTING is named: scripts/demo.sh turns it off in the same tree.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

for stage in scripts/test-stages/*.sh; do
    [ -e "$stage" ] || continue
    echo "== $(basename "$stage" .sh)"
    bash "$stage"
done
echo "== all tests passed"
