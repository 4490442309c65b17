#!/usr/bin/env bash
# Checks the include rule of the source tree (README.md, "Layout"):
# - only files under a directory named win32 include <windows.h> (the
#   resource script and the Win32 test driver in tests/e2e/ are Windows
#   files by nature and may);
# - core/ and output/ include no system-specific header and nothing from
#   cli/, ui/win32/, ui/posix/, ui/headless/ or tests/;
# - cli/ reaches the program through its public headers: nothing from
#   ui/win32/, ui/posix/, tests/, the dialogs' own logic (ui/dialog_logic.h)
#   or any .cpp file;
# - report/ (the page builder) includes standard C++, core/, output/ and
#   its own headers only: no front end, platform or test header.
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

all=$(sources . | grep -vE '(^|/)win32/|^tests/e2e/')
offend "<windows.h> outside a win32 directory" "$(includes "$all" '<[Ww]indows\.h>')"

portable=$(sources core output)
offend "core/ and output/ include only standard C++ headers" \
    "$(includes "$portable" '<(windows|unistd|fcntl|dirent|io|direct|pthread|dlfcn)\.h>|<sys/')"
offend "core/ and output/ do not include front ends, platforms or tests" \
    "$(includes "$portable" '"(cli|ui/win32|ui/posix|ui/headless|tests)/')"

cli=$(sources cli)
offend "cli/ includes only the program's public headers" \
    "$(includes "$cli" '"(ui/win32/|ui/posix/|tests/|ui/dialog_logic\.h|[^"]*\.cpp")')"

report=$(sources report)
offend "report/ includes only standard C++, core/, output/ and report/ headers" \
    "$(includes "$report" '<(windows|unistd|fcntl|dirent|io|direct|pthread|dlfcn)\.h>|<sys/|"(cli|ui|tests)/')"

[ "$failed" -eq 0 ] && echo "layering: every include follows the rule"
exit "$failed"
