#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz/) with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, runs every seed of each corpus whole, then
# fuzzes each harness for a short while on a copy of its corpus. A crash,
# a leak or a violated invariant fails the run and keeps the input that
# caused it. Longer runs: fuzz/README.md.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=build-fuzz
seconds=${VOXTRAWL_FUZZ_SECONDS:-45}
harnesses=(fuzz_rip fuzz_log fuzz_decoder fuzz_sample_set fuzz_sound)
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOXTRAWL_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="$sanitize" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitize" >/dev/null
cmake --build "$build" -j2 --target fuzzers

work=$build/fuzz-run
rm -rf "$work"
mkdir -p "$work"
# fuzz_rip saves every sample of every input. On ext4 a file replaced by
# truncation is flushed to disk on close, so the files go to RAM when we can.
scratch=$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo /tmp )/voxtrawl-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

for harness in "${harnesses[@]}"; do
    corpus=$work/$harness-corpus
    log=$work/$harness.log
    cp -r "fuzz/corpus/$harness" "$corpus"
    echo "-- $harness: every seed, then ${seconds}s of fuzzing"
    # Seeds run at full size first; the fuzzing itself keeps inputs small
    # (the literal search that checks fuzz_rip is quadratic). An input that
    # takes more than the timeout counts as a failure: a hang.
    if ! "$build/fuzz/$harness" -runs=0 -timeout=60 -artifact_prefix="$work/$harness-" "$corpus" >"$log" 2>&1 ||
       ! "$build/fuzz/$harness" -max_total_time="$seconds" -max_len=4096 -timeout=30 -print_final_stats=1 \
           -artifact_prefix="$work/$harness-" "$corpus" >>"$log" 2>&1; then
        tail -n 60 "$log"
        echo "$harness failed; the input is in $work/ (reproduce: $build/fuzz/$harness <file>)" >&2
        exit 1
    fi
    grep -E 'DONE +cov|stat::(number_of_executed_units|average_exec_per_sec)' "$log"
done
