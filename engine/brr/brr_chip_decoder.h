// Decoding BRR blocks with the sound chip's own arithmetic: 15-bit
// precision, arithmetic shifts, a clamp and the wrap of the doubled
// output, and every block of a sample decoded, the end block included.
#pragma once

#include <cstdint>

// Outputs of one block.
constexpr uint32_t kSamplesPerBlock = 16;

// One output from a signed 4-bit value (-8..7) with a header's range
// (0..15) and filter (0..3), given the two previous outputs as stored.
int16_t ChipBrrSample(int32_t nibble, unsigned range, unsigned filter, int32_t p1, int32_t p2);

// Decodes `blocks` consecutive 9-byte blocks at data into out, which
// holds 16 x blocks samples. History starts from silence.
void DecodeBrrChip(const uint8_t* data, uint32_t blocks, int16_t* out);

// The two previous outputs as stored: p1 the latest, p2 the one before.
struct ChipHistory {
    int32_t p1 = 0;
    int32_t p2 = 0;
    bool operator==(const ChipHistory& other) const { return p1 == other.p1 && p2 == other.p2; }
    bool operator!=(const ChipHistory& other) const { return !(*this == other); }
};

// As DecodeBrrChip, but starting from the given history, as the chip does
// when it jumps to a loop; returns the history the last block leaves. out
// may be null when only that history is wanted.
ChipHistory DecodeBrrChipFrom(const uint8_t* data, uint32_t blocks, ChipHistory history, int16_t* out);

// Whether all of these samples are zero.
bool IsSilent(const int16_t* samples, uint64_t count);
