#include "engine/brr/brr_decoder.h"

#include <algorithm>

#include "engine/brr/brr_block.h"

namespace {

constexpr uint32_t kPcmBytesPerBlock = 32;
constexpr unsigned kDataBytesPerBlock = 8;
// Reduces a value modulo 65536 into the signed 16-bit range: the sound
// hardware wraps rather than clamps.
int16_t WrapToInt16(int32_t value) {
    uint32_t low = static_cast<uint32_t>(value) & 0xFFFFu;
    return static_cast<int16_t>(low >= 0x8000u ? static_cast<int32_t>(low) - 0x10000 : static_cast<int32_t>(low));
}

}  // namespace

// The scaled nibble plus the filter's prediction from the two previous
// outputs. Integer division truncates toward zero, the rounding the
// predictions need, and the products stay far inside 32 bits.
int16_t DecodeBrrNibble(unsigned nibble, unsigned range, unsigned filter, int32_t p1, int32_t p2) {
    int32_t n = nibble <= 7 ? static_cast<int32_t>(nibble) : static_cast<int32_t>(nibble) - 16;
    int32_t s = n * (1 << range);
    int32_t t = 0;
    switch (filter) {
    case 1: t = (15 * p1) / 16; break;
    case 2: t = (61 * p1 - 30 * p2) / 32; break;
    case 3: t = (115 * p1 - 52 * p2) / 64; break;
    default: break;
    }
    return WrapToInt16(s + t);
}

// History before the run counts as silence; a run that is not a clean chain
// leaves the buffer's tail silent.
void DecodeSpecRun(const uint8_t* rom, uint32_t runStart, uint32_t runEnd, int16_t* out, uint32_t capacity) {
    int32_t p1 = 0;
    int32_t p2 = 0;
    uint32_t j = 0;
    uint32_t i = runStart;
    while (i <= runEnd) {
        uint8_t header = rom[i++];
        if (header >= kFirstInvalidHeader) continue;
        unsigned range = header >> 4;
        unsigned filter = (header >> 2) & 3;
        for (unsigned k = 0; k < kDataBytesPerBlock && i <= runEnd && j + 2 <= capacity; ++k, ++i) {
            uint8_t data = rom[i];
            int16_t high = DecodeBrrNibble(data >> 4, range, filter, p1, p2);
            int16_t low = DecodeBrrNibble(data & 0x0F, range, filter, high, p1);
            out[j++] = high;
            out[j++] = low;
            p2 = high;
            p1 = low;
        }
    }
    std::fill(out + j, out + capacity, int16_t{0});
}

uint64_t DecodedSize(uint32_t runStart, uint32_t runEnd) {
    return (uint64_t{runEnd} - runStart + (kBlockBytes - 1)) / kBlockBytes * kPcmBytesPerBlock;
}
