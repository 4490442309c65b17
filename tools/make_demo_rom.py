#!/usr/bin/env python3
"""Builds assets/demo.sfc: a 256 KiB cartridge image that holds synthesized
instrument sounds as BRR sample runs, laid between code-like filler, zero
stretches and 0xFF padding, for trying the ripper on something that sounds.

The output is the same on every run: all noise comes from a fixed-seed
generator of our own. Before writing, the script scans the image exactly as
the ripper does and refuses to write it unless the runs found are the ones
laid down, so the filler can never add or merge samples unnoticed.

Usage: make_demo_rom.py [OUTPUT]   (default: assets/demo.sfc beside tools/)
"""

import math
import os
import sys

RATE = 8000                 # the ripper's default playback rate
ROM_SIZE = 256 * 1024
DEFAULT_MIN_RUN = 568       # the ripper's default minimum span
SHORT_MIN_RUN = 256         # a lower minimum that also admits the short effects
BLOCK = 9
BLOCK_SAMPLES = 16
PEAK = 0.8 * 32767


# ---------------------------------------------------------------------------
# Deterministic noise

class XorShift:
    """xorshift32: the same sequence on every Python and every platform."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF or 1

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x

    def byte(self):
        return self.next() >> 24

    def below(self, n):
        return self.next() % n

    def uniform(self):
        """A value in [-1, 1)."""
        return self.next() / 2147483648.0 - 1.0


# ---------------------------------------------------------------------------
# Synthesis (float samples at RATE, roughly in [-1, 1])

def frames(seconds):
    return int(round(seconds * RATE))


def envelope(n, attack, release_from, release):
    """Linear attack, flat, then an exponential-looking fade to silence."""
    a, r0, r = frames(attack), frames(release_from), max(1, frames(release))
    out = []
    for i in range(n):
        g = 1.0
        if a and i < a:
            g = i / a
        if i >= r0:
            k = min(1.0, (i - r0) / r)
            g *= (1.0 - k) ** 2
        out.append(g)
    return out


def additive(freq, n, partials, decays=None):
    """Sum of harmonics (ratio, amplitude) kept below the Nyquist limit."""
    out = [0.0] * n
    for idx, (ratio, amp) in enumerate(partials):
        f = freq * ratio
        if f >= RATE / 2:
            continue
        w = 2 * math.pi * f / RATE
        decay = decays[idx] if decays else 0.0
        for i in range(n):
            out[i] += amp * math.sin(w * i) * math.exp(-decay * i / RATE)
    return out


def sine_lead(n):
    env = envelope(n, 0.01, 0.45, 0.2)
    vib = [0.004 * math.sin(2 * math.pi * 5.5 * i / RATE) for i in range(n)]
    phase, out = 0.0, []
    for i in range(n):
        phase += 2 * math.pi * 440 * (1 + vib[i]) / RATE
        out.append(env[i] * math.sin(phase))
    return out


def square(n):
    tone = additive(220, n, [(k, 1.0 / k) for k in range(1, 18, 2)])
    env = envelope(n, 0.005, 0.4, 0.1)
    return [t * e for t, e in zip(tone, env)]


def sawtooth(n):
    tone = additive(330, n, [(k, 1.0 / k) for k in range(1, 13)])
    env = envelope(n, 0.005, 0.35, 0.15)
    return [t * e for t, e in zip(tone, env)]


def plucked_string(n, freq=196.0, seed=11):
    """Karplus-Strong: a burst of noise circulating in a damped delay line."""
    rng = XorShift(seed)
    period = int(round(RATE / freq))
    line = [rng.uniform() for _ in range(period)]
    out = []
    for i in range(n):
        j = i % period
        sample = line[j]
        out.append(sample)
        line[j] = 0.996 * 0.5 * (sample + line[(j + 1) % period])
    fade = envelope(n, 0.0, n / RATE - 0.1, 0.1)
    return [o * f for o, f in zip(out, fade)]


def kick(n):
    phase, out = 0.0, []
    for i in range(n):
        t = i / RATE
        freq = 45 + 105 * math.exp(-t * 18)
        phase += 2 * math.pi * freq / RATE
        out.append(math.sin(phase) * math.exp(-t * 7))
    return out


def snare(n, seed=23):
    rng = XorShift(seed)
    out = []
    for i in range(n):
        t = i / RATE
        body = 0.6 * math.sin(2 * math.pi * 180 * t) * math.exp(-t * 25)
        rattle = 0.7 * rng.uniform() * math.exp(-t * 14)
        out.append(body + rattle)
    return out


def hi_hat(n, seed=37):
    """Noise through a first-difference high-pass, with a fast decay."""
    rng = XorShift(seed)
    prev, out = 0.0, []
    for i in range(n):
        x = rng.uniform()
        out.append((x - prev) * 0.5 * math.exp(-i / RATE * 30))
        prev = x
    return out


def tom(n, seed=41):
    rng = XorShift(seed)
    phase, out = 0.0, []
    for i in range(n):
        t = i / RATE
        freq = 80 + 60 * math.exp(-t * 10)
        phase += 2 * math.pi * freq / RATE
        out.append((math.sin(phase) + 0.15 * rng.uniform()) * math.exp(-t * 8))
    return out


def bell(n):
    """Inharmonic partials, the higher ones dying sooner."""
    ratios = [(1.0, 1.0), (2.76, 0.6), (5.40, 0.4), (8.93, 0.25), (0.5, 0.3)]
    return additive(330, n, ratios, decays=[2.0, 3.5, 6.0, 9.0, 1.5])


def organ(n):
    drawbars = [(1, 1.0), (2, 0.7), (3, 0.5), (4, 0.4), (6, 0.25), (8, 0.2)]
    tone = additive(262, n, drawbars)
    env = envelope(n, 0.02, 0.7, 0.1)
    return [t * e for t, e in zip(tone, env)]


def bass(n):
    tone = additive(55, n, [(k, 1.0 / k ** 1.5) for k in range(1, 16)])
    env = envelope(n, 0.004, 0.5, 0.2)
    return [t * e * math.exp(-i / RATE * 1.5) for i, (t, e) in enumerate(zip(tone, env))]


def piano(n):
    """Slightly stretched harmonics; the upper ones fade faster."""
    partials = [(k * (1 + 0.0004 * k * k), 1.0 / k) for k in range(1, 10)]
    decays = [1.8 + 0.9 * k for k in range(1, 10)]
    tone = additive(262, n, partials, decays)
    fade = envelope(n, 0.002, n / RATE - 0.1, 0.1)
    return [t * f for t, f in zip(tone, fade)]


def looped_pad(n):
    """A steady tone holding a whole number of periods, for looped play."""
    return additive(200, n, [(1, 1.0), (2, 0.35), (3, 0.2), (5, 0.1)])


def flute(n, seed=53):
    rng = XorShift(seed)
    env = envelope(n, 0.06, 0.6, 0.2)
    phase, out = 0.0, []
    for i in range(n):
        vib = 1 + 0.006 * math.sin(2 * math.pi * 5 * i / RATE)
        phase += 2 * math.pi * 523 * vib / RATE
        tone = math.sin(phase) + 0.15 * math.sin(2 * phase)
        out.append(env[i] * (tone + 0.05 * rng.uniform()))
    return out


def brass(n):
    """A sawtooth whose brightness follows the attack."""
    out = [0.0] * n
    for k in range(1, 12):
        f = 175 * k
        if f >= RATE / 2:
            break
        w = 2 * math.pi * f / RATE
        for i in range(n):
            bright = min(1.0, i / frames(0.08))
            out[i] += math.sin(w * i) / k * (bright ** (k / 3))
    env = envelope(n, 0.03, 0.5, 0.15)
    return [o * e for o, e in zip(out, env)]


def vowel_ah(n):
    """Glottal pulses through three formant resonators."""
    formants = [(700, 110, 1.0), (1220, 120, 0.5), (2600, 160, 0.25)]
    filters = []
    for freq, bw, gain in formants:
        r = math.exp(-math.pi * bw / RATE)
        filters.append([2 * r * math.cos(2 * math.pi * freq / RATE), -r * r, gain, 0.0, 0.0])
    period = RATE / 130.0
    env = envelope(n, 0.04, 0.6, 0.2)
    out = []
    for i in range(n):
        pos = (i % period) / period
        pulse = math.sin(math.pi * pos / 0.4) if pos < 0.4 else 0.0
        y = 0.0
        for f in filters:
            v = pulse + f[0] * f[3] + f[1] * f[4]
            f[4], f[3] = f[3], v
            y += f[2] * v
        out.append(env[i] * y)
    return out


def blip(n):
    phase, out = 0.0, []
    for i in range(n):
        phase += 2 * math.pi * (880 + 880 * i / n) / RATE
        out.append(math.copysign(1.0, math.sin(phase)) * 0.5 * (1 - i / n))
    return out


def coin(n):
    out = []
    for i in range(n):
        freq = 988 if i < n // 3 else 1319
        out.append(math.sin(2 * math.pi * freq * i / RATE) * (1 - i / n))
    return out


# (name, synthesizer, seconds or exact PCM blocks, loop flag)
INSTRUMENTS = [
    ("sine lead 440 Hz", sine_lead, 0.7, False),
    ("square 220 Hz", square, 0.5, False),
    ("sawtooth 330 Hz", sawtooth, 0.5, False),
    ("plucked string 196 Hz", plucked_string, 1.2, False),
    ("kick drum", kick, 0.4, False),
    ("snare drum", snare, 0.3, False),
    ("hi-hat", hi_hat, 0.15, False),
    ("bell", bell, 1.5, False),
    ("organ", organ, 0.8, False),
    ("bass 55 Hz", bass, 0.7, False),
    ("piano 262 Hz", piano, 1.2, False),
    ("looped pad 200 Hz", looped_pad, ("blocks", 100), True),
    ("flute 523 Hz", flute, 0.8, False),
    ("tom", tom, 0.4, False),
    ("brass 175 Hz", brass, 0.6, False),
    ("vowel 'ah'", vowel_ah, 0.8, False),
]

# Effects shorter than the default minimum: they show up only with a lower one.
SHORT_EFFECTS = [
    ("blip", blip, ("blocks", 38), False),
    ("coin", coin, ("blocks", 31), False),
]


def render(synth, length):
    """16-bit PCM of whole blocks, peak-normalised. The last block, the end
    block, is silent: the ripper never decodes it."""
    if isinstance(length, tuple):
        n = length[1] * BLOCK_SAMPLES
    else:
        n = -(-frames(length) // BLOCK_SAMPLES) * BLOCK_SAMPLES
    raw = synth(n)
    peak = max(abs(v) for v in raw) or 1.0
    pcm = [int(round(v / peak * PEAK)) for v in raw]
    return pcm + [0] * BLOCK_SAMPLES


# ---------------------------------------------------------------------------
# BRR encoding, simulating the decoder's integer arithmetic exactly

def tdiv(a, b):
    """Division truncating toward zero (b > 0)."""
    return a // b if a >= 0 else -(-a // b)


def wrap16(v):
    return ((v + 32768) & 0xFFFF) - 32768


def predict(filt, p1, p2):
    if filt == 0:
        return 0
    if filt == 1:
        return tdiv(15 * p1, 16)
    if filt == 2:
        return tdiv(61 * p1 - 30 * p2, 32)
    return tdiv(115 * p1 - 52 * p2, 64)


def try_block(target, p1, p2, rng, filt, limit):
    """Encodes one block with this range and filter; returns (error, nibbles,
    p1, p2), or None once the error reaches limit."""
    err, nibbles = 0, []
    step = 1 << rng
    half = step >> 1
    for x in target:
        t = predict(filt, p1, p2)
        want = x - t
        n = (want + half) >> rng if want >= 0 else -((-want + half) >> rng)
        n = -8 if n < -8 else 7 if n > 7 else n
        out = wrap16(n * step + t)
        err += (out - x) * (out - x)
        if err >= limit:
            return None
        nibbles.append(n & 15)
        p2, p1 = p1, out
    return err, nibbles, p1, p2


def encode_brr(pcm, loop):
    """pcm holds whole blocks; the last block becomes the end block.
    Returns the bytes and the PCM that the encoder's own decoding produced
    for every block but the end block."""
    out, heard = bytearray(), []
    p1 = p2 = 0
    blocks = len(pcm) // BLOCK_SAMPLES
    flags = 2 if loop else 0
    for b in range(blocks):
        target = pcm[b * BLOCK_SAMPLES:(b + 1) * BLOCK_SAMPLES]
        # The first block uses no prediction, so its sound does not depend
        # on whatever history a decoder assumes before the run.
        filters = [0] if b == 0 else [0, 1, 2, 3]
        best = None
        for filt in filters:
            # Ranges 13 to 15 would make the header look like no block at all.
            for rng in range(13):
                limit = best[0] if best else float("inf")
                res = try_block(target, p1, p2, rng, filt, limit)
                if res:
                    best = (res[0], rng, filt) + res[1:]
        _, rng, filt, nibbles, p1, p2 = best
        end = 1 if b == blocks - 1 else 0
        if not end:
            heard += replay(nibbles, rng, filt, heard)
        header = rng << 4 | filt << 2 | flags | end
        assert end or header < 0xD0
        out.append(header)
        for k in range(0, 16, 2):
            out.append(nibbles[k] << 4 | nibbles[k + 1])
    return bytes(out), heard


def replay(nibbles, rng, filt, history):
    """Decodes one block's nibbles after the given output, as try_block did."""
    p1 = history[-1] if history else 0
    p2 = history[-2] if len(history) > 1 else 0
    out = []
    for v in nibbles:
        n = v - 16 if v > 7 else v
        s = wrap16(n * (1 << rng) + predict(filt, p1, p2))
        out.append(s)
        p2, p1 = p1, s
    return out


# ---------------------------------------------------------------------------
# The ripper's scan and decode, literally, to check the image

def scan(rom, min_run):
    """Qualifying runs (first header, end header), as the ripper finds them."""
    runs, pos, size = [], 0, len(rom)
    while pos < size:
        while pos < size and rom[pos] >= 0xD0:
            pos += 1
        if pos >= size:
            break
        loop, i, ok = rom[pos] & 2, pos, False
        while True:
            h = rom[i]
            if h & 1:
                ok = True
                break
            if h >= 0xD0 or h & 2 != loop or i + BLOCK >= size:
                break
            i += BLOCK
        span = i - pos if ok else 0
        if span < min_run:
            pos += 1
        else:
            runs.append((pos, i))
            pos = i + BLOCK
    return runs


def decode(rom, start, end):
    out, p1, p2, i = [], 0, 0, start
    while i <= end:
        h = rom[i]
        i += 1
        if h >= 0xD0:
            continue
        rng, filt = h >> 4, h >> 2 & 3
        for _ in range(8):
            if i > end:
                break
            for v in (rom[i] >> 4, rom[i] & 15):
                n = v - 16 if v > 7 else v
                s = wrap16(n * (1 << rng) + predict(filt, p1, p2))
                out.append(s)
                p2, p1 = p1, s
            i += 1
    return out


def snr_db(target, decoded):
    signal = sum(v * v for v in target) or 1
    noise = sum((a - b) ** 2 for a, b in zip(target, decoded)) or 1
    return 10 * math.log10(signal / noise)


# ---------------------------------------------------------------------------
# Filler

# Opcodes of a 16-bit-register program, with their operand lengths.
OPCODES = [
    (0xA9, 2), (0xA2, 2), (0xA0, 2), (0x8D, 2), (0xAD, 2), (0x9C, 2),
    (0x20, 2), (0x22, 3), (0x60, 0), (0x6B, 0), (0xE8, 0), (0xC8, 0),
    (0xCA, 0), (0x88, 0), (0xD0, 1), (0xF0, 1), (0x80, 1), (0x90, 1),
    (0xB0, 1), (0xC9, 2), (0xE0, 2), (0x0A, 0), (0x4A, 0), (0x18, 0),
    (0x38, 0), (0x69, 2), (0xE9, 2), (0x29, 2), (0x09, 2), (0xAA, 0),
    (0xA8, 0), (0x8A, 0), (0x98, 0), (0x48, 0), (0x68, 0), (0xDA, 0),
    (0xFA, 0), (0x5A, 0), (0x7A, 0), (0xC2, 1), (0xE2, 1), (0xBD, 2),
    (0x9D, 2), (0xB9, 2), (0x99, 2), (0xB7, 1), (0x97, 1), (0xEB, 0),
]

RESET_CODE = bytes([
    0x78, 0x18, 0xFB,        # disable interrupts, native mode
    0xC2, 0x30,              # 16-bit registers
    0xA2, 0xFF, 0x1F, 0x9A,  # stack at $1FFF
    0xE2, 0x20, 0xA9, 0x8F, 0x8D, 0x00, 0x21,  # force blank
    0x9C, 0x00, 0x42,        # no interrupts
])


def code_like(rng, n):
    out = bytearray()
    while len(out) < n:
        op, operands = OPCODES[rng.below(len(OPCODES))]
        out.append(op)
        for _ in range(operands):
            # Operands lean toward small values and the $80-$FF page, as
            # addresses and immediates of real programs do.
            out.append(rng.below(0x40) if rng.below(3) else 0x80 + rng.below(0x80))
    return bytes(out[:n])


def zero_stretch(n):
    """Zeros sustain a chain without ever ending it; a run of NOPs (0xEA,
    even and 0xD0 or above) after them breaks every chain whatever its
    alignment, so the zeros can never be ripped as silence."""
    return bytes(n) + bytes([0xEA]) * 12


def pointer_table(entries):
    out = bytearray()
    for value in entries:
        out += bytes([value & 0xFF, value >> 8 & 0xFF, value >> 16 & 0xFF])
    return bytes(out)


def snes_header(rom):
    """LoROM internal header at 0x7FC0 and the vectors, checksum included."""
    title = b"VOXTRAWL DEMO SOUNDS".ljust(21)
    rom[0x7FC0:0x7FD5] = title
    rom[0x7FD5] = 0x20            # LoROM, slow
    rom[0x7FD6] = 0x00            # ROM only
    rom[0x7FD7] = 0x08            # 256 KiB
    rom[0x7FD8] = 0x00            # no RAM
    rom[0x7FD9] = 0x01            # region
    rom[0x7FDA] = 0x00
    rom[0x7FDB] = 0x00            # version
    rom[0x7FDC:0x7FE0] = b"\xFF\xFF\x00\x00"
    for vector in range(0x7FE0, 0x8000, 2):
        rom[vector:vector + 2] = b"\x00\x80"
    checksum = sum(rom) & 0xFFFF
    rom[0x7FDC:0x7FDE] = bytes([~checksum & 0xFF, ~checksum >> 8 & 0xFF])
    rom[0x7FDE:0x7FE0] = bytes([checksum & 0xFF, checksum >> 8])


# ---------------------------------------------------------------------------
# Layout

def build():
    rng = XorShift(0x5EED)
    rom = bytearray(b"\xFF" * ROM_SIZE)

    # Bank 0: start-up code, program, a little free space, the header.
    bank0 = RESET_CODE + code_like(rng, 0x5C00) + zero_stretch(300)
    rom[:len(bank0)] = bank0

    sounds = [(name, render(synth, length), loop) for name, synth, length, loop in INSTRUMENTS]
    effects = [(name, render(synth, length), loop) for name, synth, length, loop in SHORT_EFFECTS]
    # The effects sit among the instruments, as a game keeps them together.
    order = sounds[:5] + effects[:1] + sounds[5:11] + effects[1:] + sounds[11:]

    pos = 0x8000
    laid = []   # (name, offset, end header offset, pcm, loop, qualifies)
    gap_kinds = ["code", "pad", "zeros", "table"]
    for index, (name, pcm, loop) in enumerate(order):
        # Filler of a varying kind before every sample, then a short pad of
        # 0xFF so that no chain from the filler runs into the sample.
        kind = gap_kinds[index % len(gap_kinds)]
        if kind == "code":
            filler = code_like(rng, 600 + rng.below(1500))
        elif kind == "zeros":
            filler = code_like(rng, 200) + zero_stretch(200 + rng.below(300))
        elif kind == "table":
            filler = pointer_table(0x018000 + 0x400 * k for k in range(48))
        else:
            filler = b"\xFF" * (256 + rng.below(1024))
        filler += b"\xFF" * (16 + rng.below(16))
        rom[pos:pos + len(filler)] = filler
        pos += len(filler)
        data, heard = encode_brr(pcm, loop)
        rom[pos:pos + len(data)] = data
        end = pos + len(data) - BLOCK
        laid.append((name, pos, end, pcm, heard, loop, end - pos >= DEFAULT_MIN_RUN))
        pos += len(data)
    # A sound-driver-like routine after the samples; the rest stays 0xFF.
    tail = code_like(rng, 0x1800)
    rom[pos + 64:pos + 64 + len(tail)] = tail
    assert pos + 64 + len(tail) < ROM_SIZE, "samples do not fit"

    snes_header(rom)
    return bytes(rom), laid


def check(rom, laid):
    """Refuses an image whose scan differs from the layout."""
    for min_run, wanted in ((DEFAULT_MIN_RUN, [s for s in laid if s[-1]]), (SHORT_MIN_RUN, laid)):
        found = scan(rom, min_run)
        expected = [(s[1], s[2]) for s in wanted]
        if found != expected:
            sys.exit("scan with minimum %d finds %s, expected %s" % (min_run, found, expected))
    for name, start, end, _, heard, _, _ in laid:
        if decode(rom, start, end) != heard:
            sys.exit("%s does not decode as the encoder simulated" % name)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "assets", "demo.sfc")
    rom, laid = build()
    check(rom, laid)
    number = 0
    for name, start, end, pcm, decoded, loop, qualifies in laid:
        label = "" if qualifies else "  (only with a lower minimum)"
        if qualifies:
            number += 1
        print("%3s  0x%05X-0x%05X  %4d blocks  %5.2f s  SNR %5.1f dB%s  %s%s" % (
            number if qualifies else "-", start, end, (end - start) // BLOCK + 1,
            len(decoded) / RATE, snr_db(pcm[:len(decoded)], decoded),
            "  loop" if loop else "", name, label))
    os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
    with open(target, "wb") as out:
        out.write(rom)
    print("wrote %s (%d bytes)" % (target, len(rom)))


if __name__ == "__main__":
    main()
