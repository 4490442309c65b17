// The SPC700's flags and the arithmetic that sets them, apart from any bus.
#pragma once

#include <cstdint>

// PSW, kept unpacked: N V P B H I Z C from bit 7 down.
struct Spc700Flags {
    bool n = false, v = false, p = false, b = false, h = false, i = false, z = false, c = false;

    // Packs into the PSW byte.
    uint8_t Pack() const {
        return static_cast<uint8_t>(n << 7 | v << 6 | p << 5 | b << 4 | h << 3 | i << 2 | z << 1 | c);
    }
    // Unpacks a PSW byte.
    void Unpack(uint8_t psw) {
        n = psw & 0x80; v = psw & 0x40; p = psw & 0x20; b = psw & 0x10;
        h = psw & 0x08; i = psw & 0x04; z = psw & 0x02; c = psw & 0x01;
    }
    // N and Z from an 8-bit result.
    void SetNZ(uint8_t value) { n = value & 0x80; z = value == 0; }
    // N and Z from a 16-bit result.
    void SetNZ16(uint16_t value) { n = value & 0x8000; z = value == 0; }

    // a + b + C, setting N V H Z C.
    uint8_t Add(uint8_t a, uint8_t b) {
        unsigned sum = a + b + c;
        uint8_t r = static_cast<uint8_t>(sum);
        v = ~(a ^ b) & (a ^ r) & 0x80;
        h = (a ^ b ^ r) & 0x10;
        c = sum > 0xFF;
        SetNZ(r);
        return r;
    }
    // a - b - !C, setting N V H Z C (H and C set when nothing was borrowed).
    uint8_t Subtract(uint8_t a, uint8_t b) { return Add(a, static_cast<uint8_t>(~b)); }
    // a - b for flags only: N Z C.
    void Compare(uint8_t a, uint8_t b) {
        c = a >= b;
        SetNZ(static_cast<uint8_t>(a - b));
    }
    // The logic and arithmetic of the OR/AND/EOR/CMP/ADC/SBC group (op 0-5);
    // returns the value to store (CMP returns `a`).
    uint8_t Apply(int op, uint8_t a, uint8_t b) {
        switch (op) {
            case 0: a |= b; SetNZ(a); return a;
            case 1: a &= b; SetNZ(a); return a;
            case 2: a ^= b; SetNZ(a); return a;
            case 3: Compare(a, b); return a;
            case 4: return Add(a, b);
            default: return Subtract(a, b);
        }
    }
    // The shift/rotate group: 0 ASL, 1 ROL, 2 LSR, 3 ROR, 4 DEC, 5 INC.
    uint8_t Shift(int op, uint8_t value) {
        uint8_t r;
        switch (op) {
            case 0: c = value & 0x80; r = static_cast<uint8_t>(value << 1); break;
            case 1: r = static_cast<uint8_t>(value << 1 | c); c = value & 0x80; break;
            case 2: c = value & 1; r = value >> 1; break;
            case 3: r = static_cast<uint8_t>(value >> 1 | c << 7); c = value & 1; break;
            case 4: r = static_cast<uint8_t>(value - 1); break;
            default: r = static_cast<uint8_t>(value + 1); break;
        }
        SetNZ(r);
        return r;
    }
};

// YA / X as the chip divides, including quotients that do not fit in 8 bits;
// sets N V H Z from the result.
void Spc700Divide(uint8_t& a, uint8_t& y, uint8_t x, Spc700Flags& flags);
// DAA (subtract false) or DAS (true) on A.
uint8_t Spc700DecimalAdjust(uint8_t a, bool subtract, Spc700Flags& flags);
