#!/usr/bin/env bash
# Builds the portable code, the command-line tool and the unit tests with
# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer in their
# own tree and runs the whole unit suite there. Any report fails the run:
# the sanitizers abort instead of carrying on.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=build-asan
jobs=$(nproc)
[ "$jobs" -le 2 ] || jobs=2
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

# Debug keeps the asserts; -O1 keeps the suite quick under instrumentation.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="-O1 $sanitize" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitize" >/dev/null
cmake --build "$build" -j"$jobs"

# allocator_may_return_null: tests that ask for absurd sizes expect a null
# pointer back (the program reports it), not a sanitizer abort.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=report_objects=1
(cd "$build" && ctest --output-on-failure -j"$jobs")
