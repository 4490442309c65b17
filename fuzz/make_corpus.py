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


def sample_set_seeds(demo):
    # fuzz_sample_set byte 0: road and options; bits 4-5 the minimum span.
    rom_road, skip_silent, loop_header, chip_or_short = 0x01, 0x02, 0x04, 0x08
    min_zero, min_param, min_blocks, min_default = 0x00, 0x10, 0x20, 0x30

    def spc(name, flags, dir_page, fill, *patches, parameter=0):
        write("fuzz_sample_set", name, bytes([flags, parameter, dir_page, fill]) + b"".join(patches))

    def patch(address, data):
        """Patches of at most 255 bytes that put data at address."""
        out = b""
        for at in range(0, len(data), 255):
            chunk = data[at:at + 255]
            out += struct.pack("<HB", address + at, len(chunk)) + chunk
        return out

    def instrument(blocks, loop, data=0x35, header=0xB0):
        flag = 0x02 if loop else 0x00
        return run(blocks, header | flag, header | flag | 0x01, data)

    def entries(*pairs):
        return b"".join(struct.pack("<HH", start, loop) for start, loop in pairs)

    # A directory at $0300 that the DIR register names: a looping sample
    # (loop word as an address), one that stops, and the first again.
    two = patch(0x0300, entries((0x0400, 0x0409), (0x0500, 0x0500), (0x0400, 0x0409)))
    two += patch(0x0400, instrument(6, True)) + patch(0x0500, instrument(4, False, 0x00))
    spc("dir-register", min_default, 0x03, 0x00, two)
    spc("dir-register-brr-skip-silent", min_default | skip_silent | loop_header, 0x03, 0x00, two)
    # Unused slot 0, a loop word as an offset, and a block of range 13 inside.
    odd = patch(0x0300, entries((0x0000, 0x0000), (0x0400, 0x0012), (0xFFFF, 0xFFFF), (0x0600, 0x0600)))
    odd += patch(0x0400, block(0xB2) + block(0xD2, 0x77) + instrument(2, True))
    odd += patch(0x0600, instrument(3, True, 0x11))
    spc("unused-slots-range-13", min_default, 0x03, 0x00, odd)
    # DIR left at 0; the driver's code sets it to $12.
    code = patch(0x0800, bytes([0x8F, 0x5D, 0xF2, 0x8F, 0x12, 0xF3]))
    code += patch(0x1200, entries((0x2000, 0x2000))) + patch(0x2000, instrument(8, True))
    spc("dir-from-code", min_default, 0x00, 0xFF, code)
    # No directory: audio RAM searched like a ROM, with a short minimum.
    spc("aram-scan", min_param, 0x00, 0xFE, patch(0x3000, run(10)) + patch(0x4000, run(3, 0x92, 0x93)),
        parameter=18)
    spc("aram-scan-every-end", min_zero, 0x00, 0x01)
    # With no minimum a chain that never ends counts too; its last header
    # lies in the final block of audio RAM, which is cut short.
    spc("aram-scan-unended", min_zero, 0x00, 0x00)
    spc("cut-short", chip_or_short, 0x03, 0x00, two)

    def rom(name, flags, image, parameter=0):
        write("fuzz_sample_set", name, bytes([flags, parameter]) + image)

    image = filler(5) + WORKED + filler(3) + run(70, 0x80, 0x81, 0x00) + filler(2) + run(66, 0x92, 0x93, 0x5A)
    rom("rom-spec", rom_road | min_blocks, image, parameter=2)
    rom("rom-chip-skip-silent", rom_road | chip_or_short | skip_silent | min_default, image)
    rom("rom-brr-loop-header", rom_road | loop_header | min_param, image, parameter=9)
    rom("rom-table-full", rom_road | min_zero, bytes([0x01]) * (9 * 1290))
    if demo:
        for k, (start, end) in enumerate(qualifying_runs(demo, 568, 2)):
            rom("demo-slice-%d" % k, rom_road | (chip_or_short if k else 0) | min_default, demo[start:end + 9])


def main():
    demo_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "assets", "demo.sfc")
    demo = open(demo_path, "rb").read() if os.path.exists(demo_path) else None
    rip_seeds(demo)
    decoder_seeds(demo)
    log_seeds()
    sample_set_seeds(demo)


if __name__ == "__main__":
    main()
