#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_sound into fuzz/corpus/fuzz_sound/.

Each seed is a small hand-made program: compact snapshots (CPU registers,
the 128 DSP registers, then audio RAM from $0000) and one whole snapshot
file. The output is the same on every run.
"""

import os

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "fuzz", "corpus", "fuzz_sound")

DIR_PAGE = 0x03
SAMPLE = 0x0400
PROGRAM = 0x0200


def registers(pc, sp=0xEF, a=0, x=0, y=0, psw=0x02):
    return bytes([pc & 0xFF, pc >> 8, a, x, y, psw, sp])


def dsp(**named):
    regs = bytearray(128)
    # Voice 0 audible: volume, pitch $1000, source 0, a quick ADSR; main volume up.
    regs[0x00] = regs[0x01] = 0x7F
    regs[0x03] = 0x10
    regs[0x05], regs[0x06] = 0xFF, 0xE0
    regs[0x0C] = regs[0x1C] = 0x7F
    regs[0x5D] = DIR_PAGE
    regs[0x6C] = 0x20  # echo writes off
    for address, value in named.items():
        regs[int(address[1:], 16)] = value
    return bytes(regs)


def ram(program, size=0x0500, extra=()):
    memory = bytearray(size)
    memory[PROGRAM:PROGRAM + len(program)] = program
    memory[DIR_PAGE * 0x100:DIR_PAGE * 0x100 + 4] = bytes([SAMPLE & 0xFF, SAMPLE >> 8] * 2)
    # One looping block of a sawtooth-ish wave.
    memory[SAMPLE:SAMPLE + 9] = bytes([0xB3, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF])
    for address, value in extra:
        memory[address] = value
    return bytes(memory)


# Waits on timer 0 (target 16) and keys voice 0 on at every tick.
TIMER_KEY_ON = bytes([
    0x8F, 0x10, 0xFA,  # MOV $FA,#$10
    0x8F, 0x01, 0xF1,  # MOV $F1,#$01
    0xE4, 0xFD,        # loop: MOV A,$FD
    0xF0, 0xFC,        # BEQ loop
    0x8F, 0x4C, 0xF2,  # MOV $F2,#$4C
    0x8F, 0x01, 0xF3,  # MOV $F3,#$01
    0x2F, 0xF4,        # BRA loop
])

# Keys on, then polls ENDX, clears it by writing, keys off, and starts over.
ENDX_KOFF = bytes([
    0x8F, 0x4C, 0xF2, 0x8F, 0x01, 0xF3,  # KON voice 0
    0x8F, 0x7C, 0xF2,                    # $F2 = ENDX
    0xE4, 0xF3,                          # poll: MOV A,$F3
    0xF0, 0xFC,                          # BEQ poll
    0xC4, 0xF3,                          # MOV $F3,A (clears ENDX)
    0x8F, 0x5C, 0xF2, 0x8F, 0x01, 0xF3,  # KOFF voice 0
    0x8F, 0x08, 0xF2, 0xE4, 0xF3,        # read ENVX
    0x8F, 0x5C, 0xF2, 0x8F, 0x00, 0xF3,  # KOFF off
    0x5F, PROGRAM & 0xFF, PROGRAM >> 8,  # JMP start
])

# Arithmetic, the stack, timer 2 at target 0 and a soft reset of the DSP, in a loop.
MIXED = bytes([
    0x8F, 0x00, 0xFC,  # MOV $FC,#0 (256 ticks)
    0x8F, 0x04, 0xF1,  # MOV $F1,#$04
    0xE8, 0x37,        # MOV A,#$37
    0x8D, 0x91,        # MOV Y,#$91
    0xCF,              # MUL YA
    0xCD, 0x05,        # MOV X,#5
    0x9E,              # DIV YA,X
    0x2D, 0xAE,        # PUSH A, POP A
    0x9F, 0xDF,        # XCN, DAA
    0xE4, 0xFF,        # MOV A,$FF
    0x8F, 0x6C, 0xF2, 0x8F, 0xE0, 0xF3,  # FLG = reset, mute, echo off
    0x8F, 0x6C, 0xF2, 0x8F, 0x20, 0xF3,  # FLG = echo off
    0x5F, (PROGRAM + 6) & 0xFF, (PROGRAM + 6) >> 8,  # JMP past the set-up
])


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def whole_snapshot(cpu, regs, memory):
    data = bytearray(0x10200)
    data[0:33] = b"SNES-SPC700 Sound File Data v0.30"
    data[0x21:0x24] = bytes([26, 26, 26])
    data[0x25:0x2C] = bytes([cpu[0], cpu[1], cpu[2], cpu[3], cpu[4], cpu[5], cpu[6]])
    data[0x2E:0x2E + 9] = b"fuzz seed"
    data[0xA9:0xAC] = b"2\0\0"
    data[0xAC:0xB1] = b"500\0\0"
    data[0x100:0x100 + len(memory)] = memory
    data[0x10100:0x10180] = regs
    return bytes(data)


def main():
    os.makedirs(OUT, exist_ok=True)
    write("timer-key-on", registers(PROGRAM) + dsp() + ram(TIMER_KEY_ON))
    write("endx-koff", registers(PROGRAM) + dsp() + ram(ENDX_KOFF))
    # Echo on (writes into RAM from $0800), voice 0 keyed at load, the CPU asleep at once.
    echo = dsp(r4C=0x01, r4D=0x01, r6C=0x00, r6D=0x08, r7D=0x02, r0D=0x40, r0F=0x7F, r2C=0x40, r3C=0x40)
    write("echo-sleep", registers(PROGRAM) + echo + ram(bytes([0xEF])))
    # The boot-ROM area mapped: the CPU runs through its zeros to $FFFE.
    write("rom-mapped", registers(0xFFC0) + dsp() + ram(b"", size=0x100, extra=[(0xF1, 0x80)]))
    write("whole-mixed", whole_snapshot(registers(PROGRAM), dsp(), ram(MIXED)))


if __name__ == "__main__":
    main()
