// The program's own BRR decoding of a run: full-scale arithmetic with
// truncating division and a 16-bit wrap, the end block left out.
#pragma once

#include <cstdint>

// Decodes every block of rom before the one whose header sits at runEnd
// into out, which holds capacity samples (DecodedSize / 2).
void DecodeSpecRun(const uint8_t* rom, uint32_t runStart, uint32_t runEnd, int16_t* out, uint32_t capacity);

// The most PCM bytes a run is decoded to: sizes are counted in 32 bits,
// and a WAVE file's header describes no more.
constexpr uint64_t kMaxRunPcmBytes = 0xFFFFFFFFu - 36;

// PCM bytes of a run whose first and end block headers lie at these offsets.
uint64_t DecodedSize(uint32_t runStart, uint32_t runEnd);

// One output sample from a 4-bit value (0..15) with a header's range
// (0..12) and filter (0..3), given the two previous output samples.
int16_t DecodeBrrNibble(unsigned nibble, unsigned range, unsigned filter, int32_t p1, int32_t p2);
