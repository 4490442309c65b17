#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz harnesses into fuzz/corpus/<harness>/.

Each seed is the harness's input format (see the comment at the top of each
harness): a few prefix bytes that choose the settings, then the data. The
seeds are the demo ROM whole, slices of it around its first sample runs,
and small images built to sit on the edges of the search, the decoder and
the log. The output is the same on every run.

Usage: make_corpus.py [DEMO_ROM]   (default: assets/demo.sfc)
"""

import os
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")

# fuzz_rip prefix byte 0 (mod 5): which minimum span.
MIN_ZERO, MIN_ONE, MIN_SMALL, MIN_DEFAULT, MIN_NEGATIVE = range(5)


def block(header, data=0x11):
    return bytes([header]) + bytes([data]) * 8


def run(blocks, header=0x80, end_header=0x81, data=0x11):
    return block(header, data) * (blocks - 1) + block(end_header, data)


def filler(n):
    return b"\xFE" * n


# Two blocks and an end block whose decoding is worked out by hand.
WORKED = bytes([0x80]) + bytes.fromhex("0123456789ABCDEF") + bytes([0x04, 0x10]) + bytes(7) + block(0x01, 0x00)


def chain_ends(rom):
    """For every offset: (offset of the header where a chain followed from
    there stops, whether that header ends a run), computed from the end."""
    size = len(rom)
    ends = [None] * size
    for i in range(size - 1, -1, -1):
        h = rom[i]
        if h & 1:
            ends[i] = (i, True)
        elif h >= 0xD0 or i + 9 >= size:
            ends[i] = (i, False)
        else:
            nxt = rom[i + 9]
            if nxt & 1:
                ends[i] = (i + 9, True)
            elif (nxt & 2) != (h & 2):
                ends[i] = (i + 9, False)
            else:
                ends[i] = ends[i + 9]
    return ends


def qualifying_runs(rom, min_run, limit):
    """The first runs the ripper's search takes, up to limit of them."""
    ends = chain_ends(rom)
    runs, pos = [], 0
    while pos < len(rom) and len(runs) < limit:
        if rom[pos] >= 0xD0:
            pos += 1
            continue
        stop, success = ends[pos]
        span = stop - pos if success else 0
        if span < min_run:
            pos += 1
        else:
            runs.append((pos, stop))
            pos = stop + 9
    return runs


def write(harness, name, data):
    directory = os.path.join(CORPUS, harness)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as out:
        out.write(data)


def rip_seeds(demo):
    def rip(name, mode, parameter, image, pick=0):
        write("fuzz_rip", name, bytes([mode, parameter, pick]) + image)

    rip("worked-example", MIN_SMALL, 18, filler(5) + WORKED + filler(3))
    rip("min-568-edges", MIN_DEFAULT, 0, run(64) + filler(4) + run(65, 0x92, 0x93) + filler(2))
    rip("end-header-d1", MIN_SMALL, 36, run(5, 0xC8, 0xD1) + run(5, 0x82, 0x81))
    rip("bad-middle-blocks", MIN_SMALL, 9, block(0x80) * 3 + block(0xD0) + block(0x80) * 3 + block(0x82) + block(0x81))
    rip("last-byte-ends", MIN_ONE, 0, filler(3) + run(4)[:-8])
    rip("only-high-bytes", MIN_ZERO, 0, bytes(range(0xD0, 0x100)) * 4)
    rip("zero-stretch", MIN_ZERO, 0, bytes(2000) + b"\x01")
    rip("negative-minimum", MIN_NEGATIVE, 0, run(80))
    rip("every-header", MIN_ONE, 0, bytes(range(256)) * 3, pick=5)
    rip("full-table", MIN_ZERO, 0, bytes([0x01]) * (9 * 1290), pick=200)
    if demo:
        rip("demo-rom", MIN_DEFAULT, 0, demo)
        for k, (start, end) in enumerate(qualifying_runs(demo, 568, 4)):
            begin = max(0, start - 64)
            rip("demo-slice-%d" % k, MIN_DEFAULT if k % 2 else MIN_SMALL, 200, demo[begin:end + 9 + 64])


def decoder_seeds(demo):
    def decode(name, flags, start, length, image):
        write("fuzz_decoder", name, bytes([flags]) + struct.pack("<HH", start, length) + image)

    aligned, full, nearly_full, fails = 0x01, 0x06, 0x04, 0x08
    decode("worked-example", aligned, 0, 2, WORKED)
    # Range 12, nibble 7 after history near the top: the sum wraps.
    decode("wraps", aligned, 0, 3, block(0xC0, 0x77) + block(0xC4, 0x77) + block(0x01))
    decode("filters-2-and-3", aligned, 0, 4, block(0xB8, 0x7F) + block(0xBC, 0x81) + block(0x88, 0xF0) + block(0x03))
    decode("high-headers-inside", 0, 0, 28, block(0x40) + b"\xD5\xE0" + block(0x48) + block(0x01))
    decode("last-slot", aligned | nearly_full, 0, 2, run(3))
    decode("table-full", aligned | full, 0, 2, run(3))
    decode("alloc-fails", aligned | fails, 0, 2, run(3))
    if demo:
        for k, (start, end) in enumerate(qualifying_runs(demo, 568, 2)):
            decode("demo-run-%d" % k, aligned, 0, (end - start) // 9, demo[start:end + 9])


def log_seeds():
    def ops(name, *parts):
        write("fuzz_log", name, b"".join(parts))

    def append(text):
        return bytes([1, len(text)]) + text.replace(b"\n", b"\0")

    def pattern(size_index, period, style=0):
        return bytes([2, size_index]) + struct.pack("<H", period) + bytes([style])

    def formatted(length, period, style=0):
        return bytes([3]) + struct.pack("<HH", length, period) + bytes([style])

    # Indexes into the harness's size table: 4 = 1999, 8 = 60000, 9 = 60001, 11 = 120001.
    ops("welcome-then-messages", append(b"Welcome\r\n"), append(b"\r\nFound 3 samples."), append(b""))
    ops("fill-to-the-cap", pattern(8, 100, 1), append(b"\r\nx"), pattern(4, 0))
    ops("no-line-feed", pattern(7, 0), append(b"\r\nnew text"), bytes([0]), append(b"\r\nafter clear"))
    ops("overlong", pattern(11, 7), pattern(9, 0), pattern(8, 60000))
    ops("formatted-cut", formatted(3000, 50, 1), formatted(1999, 0), formatted(2000, 1))


def main():
    demo_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "assets", "demo.sfc")
    demo = open(demo_path, "rb").read() if os.path.exists(demo_path) else None
    rip_seeds(demo)
    decoder_seeds(demo)
    log_seeds()


if __name__ == "__main__":
    main()
