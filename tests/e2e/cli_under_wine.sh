#!/usr/bin/env bash
# Runs voxtrawl-cli.exe under Wine beside the native voxtrawl-cli on the same
# inputs, each in a directory of its own holding copies of the test ROMs, and
# checks that the two agree: exit code, stdout and stderr (line ends and the
# load time aside), and every file written, byte for byte.
#   cli_under_wine.sh WINDOWS_CLI NATIVE_CLI DATA_DIR WORK_DIR
# Run by ctest with the Wine prefix and loader (WINE) of the end-to-end fixture.
set -uo pipefail
wine=${WINE:-wine}
win=$(realpath "$1") native=$(realpath "$2") data=$(realpath "$3") work=$4
mkdir -p "$work" && work=$(realpath "$work")

failures=0
quote=$'Kirby\xe2\x80\x99s Demo'   # U+2019: byte 0x92 in code page 1252
accent=$'Pok\xc3\xa9mon Test'      # U+00E9: byte 0xE9

fail() {
    echo "FAIL [$case_name]: $*"
    failures=$((failures + 1))
}

# The load time is whatever it was.
normalized() { sed -e 's/Took [0-9]* milliseconds/Took N milliseconds/' "$1"; }
# On Windows lines end in CR LF, paths use backslashes, and text is in the
# ANSI code page, except JSON, which is UTF-8 everywhere (out_charset=UTF-8).
windows_normalized() {
    normalized "$1" | sed -e 's/\r$//' -e 's|\\|/|g' | iconv -f "${2:-CP1252}" -t UTF-8
}

# compare NAME EXPECTED_CODE [FILES THAT MUST EXIST...] -- ARGS...
compare() {
    case_name=$1 expected_code=$2
    shift 2
    local failures_before=$failures
    local must=()
    while [ "$1" != "--" ]; do must+=("$1"); shift; done
    shift
    local dir=$work/$case_name
    rm -rf "$dir"
    mkdir -p "$dir/native" "$dir/windows"
    local side
    for side in native windows; do
        cp "$data"/*.s[fm]c "$dir/$side/"
    done
    (cd "$dir/native" && "$native" "$@" >../native.out 2>../native.err </dev/null)
    local native_code=$?
    (cd "$dir/windows" && "$wine" "$win" "$@" >../windows.out 2>../windows.err </dev/null)
    local windows_code=$?

    [ "$windows_code" = "$expected_code" ] || fail "exit code $windows_code, expected $expected_code"
    [ "$native_code" = "$expected_code" ] || fail "native exit code $native_code, expected $expected_code"
    local stream
    for stream in out err; do
        local charset=CP1252
        [ "$stream" = out ] && charset=${out_charset:-CP1252}
        if ! diff <(normalized "$dir/native.$stream") <(windows_normalized "$dir/windows.$stream" "$charset") \
            >"$dir/$stream.diff"; then
            fail "std$stream differs from the native build's:"
            cat "$dir/$stream.diff"
        fi
    done
    diff -r "$dir/native" "$dir/windows" >"$dir/files.diff" || {
        fail "the files written differ from the native build's:"
        cat "$dir/files.diff"
    }
    local file
    for file in "${must[@]}"; do
        [ -s "$dir/windows/$file" ] || fail "$file was not written"
    done
    [ "$failures" -ne "$failures_before" ] || echo "ok $case_name"
}

compare rip 0 crafted/1.wav crafted/5.wav -- rip crafted.sfc
compare rip_out_rate 0 out/1.wav out/3.wav -- rip boundary.sfc --out out --rate 22050 --min-run 0
compare rip_two_roms 0 -- rip crafted.sfc boundary.sfc --out shared
compare one_file 0 all.wav -- rip crafted.sfc --one-file all.wav --rate 11025
compare list 0 -- list crafted.sfc
out_charset=UTF-8 compare list_json 0 -- list boundary.sfc --json --min-run 0
compare report 0 crafted.html -- report crafted.sfc
compare missing_rom 1 -- rip missing.sfc
compare empty_rom 1 -- list empty.sfc
compare one_failing_of_two 1 crafted/1.wav -- rip empty.sfc crafted.sfc
compare bad_option 2 -- rip crafted.sfc --rate 0
compare no_command 2 --

# Names outside ASCII: UTF-8 here, code page 1252 for the Windows program.
compare quote_rip 0 "$quote/1.wav" -- rip "$quote.sfc"
out_charset=UTF-8 compare quote_list_json 0 -- list "$quote.sfc" --json
compare accent_one_file 0 "$accent.wav" -- rip "$accent.smc" --one-file "$accent.wav"
compare accent_report 0 "$accent.html" -- report "$accent.smc"

# Ctrl-C while a file is being written (Wine turns SIGINT into the console's
# Ctrl-C event): the temporary file goes, exit code 130, and every file that
# is left is whole. Large samples give the time to catch the write.
interrupted() {
    case_name=interrupted
    local dir=$work/$case_name failures_before=$failures
    rm -rf "$dir"
    mkdir -p "$dir/native" "$dir/windows"
    python3 -c '
import sys
block = bytes([0xB0]) + bytes([0xD5] * 8)
end = bytes([0xB1]) + bytes([0xD5] * 8)
run = block * 19999 + end
with open(sys.argv[1], "wb") as f:
    for i in range(60):
        f.write(b"\xff" * (23 + i) + run)
' "$dir/big.sfc"
    (cd "$dir" && "$native" rip big.sfc --out native >/dev/null)
    # The write must be caught in the act; a run that ends first is tried
    # again, and said so, so that a real fault cannot hide behind retries.
    local attempt code caught
    for attempt in 1 2 3; do
        rm -rf "$dir/windows"
        (cd "$dir" && exec "$wine" "$win" rip big.sfc --out windows >/dev/null 2>&1 </dev/null) &
        local pid=$! i
        caught=0
        for ((i = 0; i < 20000; ++i)); do
            if compgen -G "$dir/windows/.*.tmp" >/dev/null; then
                kill -INT "$pid"
                caught=1
                break
            fi
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.001
        done
        # A program that outlives its Ctrl-C by this long is hung: say so
        # and end it, rather than let the whole test time out unexplained.
        for ((i = 0; i < 300; ++i)); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null; then
            fail "still running 30 s after Ctrl-C (interrupt sent: $caught; files: $(ls -A "$dir/windows" | tr '\n' ' '))"
            kill -KILL "$pid" 2>/dev/null
            wait "$pid"
            return
        fi
        wait "$pid"
        code=$?
        # Exit code 0: it ended before the interrupt came.
        if [ "$caught" = 1 ] && [ "$code" != 0 ]; then break; fi
        echo "retry $case_name: the rip ended (exit code $code) before it was interrupted"
        caught=0
    done
    if [ "$caught" = 0 ]; then
        fail "three rips ran to their end: each ended before the interrupt, or ignored it"
    else
        [ "$code" = 130 ] || fail "exit code $code after Ctrl-C, expected 130"
        local left
        left=$(ls -A "$dir/windows" | grep '\.tmp$')
        [ -z "$left" ] || fail "temporary files left behind: $left"
        local file
        for file in "$dir/windows"/*.wav; do
            [ -e "$file" ] || continue
            cmp -s "$file" "$dir/native/${file##*/}" || fail "${file##*/} is not whole"
        done
    fi
    [ "$failures" -ne "$failures_before" ] || echo "ok $case_name"
}
interrupted

if [ "$failures" -ne 0 ]; then
    echo "$failures failures; the outputs are under $work"
    exit 1
fi
