#include "engine/brr/brr_chip_decoder.h"

#include <initializer_list>

#include "engine/brr/brr_block.h"

namespace {

// The chip has no range above 12: those headers give -2048 for negative
// values and 0 otherwise, in 15-bit terms.
int32_t ScaledNibble(int32_t nibble, unsigned range) {
    if (range > 12) return nibble < 0 ? -2048 : 0;
    return (nibble * (1 << range)) >> 1;
}

int32_t Clamp16(int32_t value) {
    if (value > 32767) return 32767;
    if (value < -32768) return -32768;
    return value;
}

}  // namespace

// p1 and p2 are stored outputs (doubled, so even); the filters work on
// half of p2 and fold the coefficients into shifts, each rounding down.
int16_t ChipBrrSample(int32_t nibble, unsigned range, unsigned filter, int32_t p1, int32_t p2) {
    int32_t s = ScaledNibble(nibble, range);
    int32_t q = p2 >> 1;
    switch (filter) {
    case 1: s += (p1 >> 1) + ((-p1) >> 5); break;
    case 2: s += p1 - q + (q >> 4) + ((p1 * -3) >> 6); break;
    case 3: s += p1 - q + ((p1 * -13) >> 7) + ((q * 3) >> 4); break;
    default: break;
    }
    // Doubling a clamped value past 0x3FFF wraps into the negative half:
    // the chip keeps only 16 bits of it.
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(Clamp16(s)) << 1));
}

void DecodeBrrChip(const uint8_t* data, uint32_t blocks, int16_t* out) { DecodeBrrChipFrom(data, blocks, {}, out); }

ChipHistory DecodeBrrChipFrom(const uint8_t* data, uint32_t blocks, ChipHistory history, int16_t* out) {
    int32_t p1 = history.p1;
    int32_t p2 = history.p2;
    for (uint32_t b = 0; b < blocks; ++b, data += kBlockBytes) {
        unsigned range = data[0] >> 4;
        unsigned filter = (data[0] >> 2) & 3;
        for (unsigned k = 1; k < kBlockBytes; ++k) {
            // High nibble first; sign-extend each from 4 bits.
            for (int32_t nibble : {data[k] >> 4, data[k] & 0x0F}) {
                int16_t sample = ChipBrrSample(nibble >= 8 ? nibble - 16 : nibble, range, filter, p1, p2);
                if (out) *out++ = sample;
                p2 = p1;
                p1 = sample;
            }
        }
    }
    return {p1, p2};
}

bool IsSilent(const int16_t* samples, uint64_t count) {
    for (uint64_t i = 0; i < count; ++i)
        if (samples[i] != 0) return false;
    return true;
}
