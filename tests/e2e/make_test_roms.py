#!/usr/bin/env python3
"""Writes the small crafted ROM images of the Win32 end-to-end tests, each
with a manifest of the sample counts that the ripper must report for it.

Every image is 0xFF padding (never a block header) with BRR runs laid in
it. Data bytes lie in 0xD0..0xFF too, so that no attempt that starts inside
a run's data can grow into a run of its own: the counts below follow from
the run lengths alone.

Usage: make_test_roms.py OUTDIR
"""

import os
import sys

BLOCK = 9
GAP = 23                 # padding between runs, not a multiple of 9
# Span from the first to the end block header is 9 * (blocks - 1): with the
# default minimum of 568, 64 blocks (567) fall short and 65 (576) qualify.
DEFAULT_MIN_RUN = 568


class XorShift:
    """Fixed-seed noise so that every run decodes to different PCM."""

    def __init__(self, seed):
        self.state = seed or 1

    def byte(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x >> 24


def run(blocks, seed):
    """A run of `blocks` blocks; all but the end block carry the loop flag
    clear and range 11 with the four filters in turn."""
    rng = XorShift(seed)
    out = bytearray()
    for i in range(blocks):
        header = 0xB1 if i == blocks - 1 else 0xB0 | ((i % 4) << 2)
        out.append(header)
        out.extend(0xD0 | (rng.byte() & 0x2F) for _ in range(BLOCK - 1))
    return out


def image(run_lengths):
    out = bytearray(b"\xFF" * GAP)
    for seed, blocks in enumerate(run_lengths, start=1):
        out += run(blocks, seed * 7919)
        out += b"\xFF" * GAP
    return bytes(out)


def qualifying(run_lengths, min_run):
    return sum(1 for b in run_lengths if BLOCK * (b - 1) >= min_run)


def write(outdir, name, data, manifest, filename=None):
    # Names are written as UTF-8 bytes whatever the locale: Wine maps UTF-8
    # file names to Unicode, and the ANSI code page maps those on.
    filename = (filename or name + ".sfc").encode("utf-8")
    with open(os.path.join(os.fsencode(outdir), filename), "wb") as f:
        f.write(data)
    with open(os.path.join(outdir, name + ".expect"), "w") as f:
        for key, value in manifest.items():
            f.write(f"{key}={value}\n")


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)

    # Five samples of different lengths between a 64-block decoy and a
    # three-block run, both too short for the default minimum.
    crafted = [65, 64, 90, 3, 70, 120, 66]
    write(outdir, "crafted", image(crafted),
          {"samples": qualifying(crafted, DEFAULT_MIN_RUN)})

    # Runs at the default boundary: 65 blocks (span 576), 66 blocks (585)
    # and 3 blocks (18), ripped with the minimum at 568, 577 and 0.
    boundary = [65, 66, 3]
    write(outdir, "boundary", image(boundary),
          {"samples": qualifying(boundary, DEFAULT_MIN_RUN),
           "samples_min577": qualifying(boundary, 577),
           "samples_min0": qualifying(boundary, 0)})

    write(outdir, "empty", b"", {"bytes": 0})

    # Names whose characters lie outside ASCII: a typographic apostrophe
    # (byte 0x92 in code page 1252) and an accented letter (0xE9).
    quote = [70, 65, 100]
    write(outdir, "quote", image(quote), {"samples": qualifying(quote, DEFAULT_MIN_RUN)},
          "Kirby\u2019s Demo.sfc")
    accent = [66, 80, 3, 75, 90]
    write(outdir, "accent", image(accent), {"samples": qualifying(accent, DEFAULT_MIN_RUN)},
          "Pok\u00e9mon Test.smc")


if __name__ == "__main__":
    main()
