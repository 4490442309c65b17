#include "engine/sound/spc700_alu.h"

void Spc700Divide(uint8_t& a, uint8_t& y, uint8_t x, Spc700Flags& flags) {
    unsigned ya = static_cast<unsigned>(y) << 8 | a;
    flags.h = (y & 15) >= (x & 15);
    flags.v = y >= x;
    // The divider works bit by bit on 9-bit quotients; past that its result
    // follows this closed form.
    if (y < (static_cast<unsigned>(x) << 1)) {
        a = static_cast<uint8_t>(ya / x);
        y = static_cast<uint8_t>(ya % x);
    } else {
        unsigned rest = ya - (static_cast<unsigned>(x) << 9);
        unsigned divisor = 256u - x;
        a = static_cast<uint8_t>(255 - rest / divisor);
        y = static_cast<uint8_t>(x + rest % divisor);
    }
    flags.SetNZ(a);
}

uint8_t Spc700DecimalAdjust(uint8_t a, bool subtract, Spc700Flags& flags) {
    if (!subtract) {
        if (flags.c || a > 0x99) { a = static_cast<uint8_t>(a + 0x60); flags.c = true; }
        if (flags.h || (a & 15) > 9) a = static_cast<uint8_t>(a + 6);
    } else {
        if (!flags.c || a > 0x99) { a = static_cast<uint8_t>(a - 0x60); flags.c = false; }
        if (!flags.h || (a & 15) > 9) a = static_cast<uint8_t>(a - 6);
    }
    flags.SetNZ(a);
    return a;
}
