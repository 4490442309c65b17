#!/usr/bin/env bash
# Checks the include rule of the source tree (README.md, "Layout"):
# - the engine (engine/) includes only the engine and the standard library:
#   "engine/..." headers and <name> headers without a dot or a slash;
# - only files under a directory named win32 include <windows.h> (the
#   resource script and the Win32 test driver in tests/e2e/ are Windows
#   files by nature and may);
# - the command line (cli/) and the report page (report/) are built on the
#   engine, never on the window program (app/), a system's file-system
#   implementation (system/), the tests or a .cpp file.
set -euo pipefail
cd "$(dirname "$0")/../.."

failed=0
# Prints the offending lines and marks the run failed.
offend() {
    local rule=$1 lines=$2
    [ -n "$lines" ] || return 0
    echo "layering: $rule" >&2
    echo "$lines" | sed 's/^/  /' >&2
    failed=1
}

# Source files under the given directories; build trees and downloaded
# modules stay out. (find, not git: a tree unpacked from an archive counts.)
sources() {
    find "$@" \( -name 'build*' -o -name node_modules -o -name .git \) -prune -o \
        -type f \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' \) -print |
        sed 's|^\./||'
}

includes() { # files pattern
    local files=$1 pattern=$2
    [ -n "$files" ] || return 0
    # shellcheck disable=SC2086
    grep -nHE "^[[:space:]]*#[[:space:]]*include[[:space:]]*$pattern" $files || true
}

engine=$(sources engine)
offend "engine/ includes only engine/ headers and the standard library" \
    "$(includes "$engine" '("[^"]*"|<[^>]*[./][^>]*>)' | grep -vE '#[[:space:]]*include[[:space:]]*"engine/' || true)"

all=$(sources . | grep -vE '(^|/)win32/|^tests/e2e/')
offend "<windows.h> outside a win32 directory" "$(includes "$all" '<[Ww]indows\.h>')"

fronts=$(sources cli report)
offend "cli/ and report/ are built on the engine, not on app/, system/, tests/ or .cpp files" \
    "$(includes "$fronts" '"(app|system|tests)/|"[^"]*\.cpp"')"

[ "$failed" -eq 0 ] && echo "layering: every include follows the rule"
exit "$failed"
