#!/usr/bin/env bash
# Opens the pages of `voxtrawl-cli report` in headless Chromium and checks
# them as a user would: rows, playback, keyboard, downloads against the
# ripper's files, hostile file names, a page with the full table, and what
# is on screen from phone to desktop widths.
# Needs the native tree (build/, or VOXTRAWL_BUILD_DIR) built first.
set -euo pipefail
cd "$(dirname "$0")/../.."

export VOXTRAWL_BUILD_DIR=${VOXTRAWL_BUILD_DIR:-build}
cli="$VOXTRAWL_BUILD_DIR/cli/voxtrawl-cli"
# The command, and the engine's envelope frame by frame for the page's own.
for program in "$cli" "$VOXTRAWL_BUILD_DIR/tests/voxtrawl_envelope_frames"; do
    if [ ! -x "$program" ]; then
        echo "50-browser: $program is missing; build the native tree first" >&2
        exit 1
    fi
done

# The page's modules, and the one script the build joins them into.
for module in report/script/*.mjs "$VOXTRAWL_BUILD_DIR/report/generated/report_page.js"; do
    node --check "$module"
done

cd tests/browser
if [ -f package-lock.json ]; then
    npm ci --no-audit --no-fund --loglevel=error >/dev/null
else
    npm install --no-audit --no-fund --loglevel=error >/dev/null
fi
node --test report.test.mjs instruments.test.mjs sampler.test.mjs layout.test.mjs
