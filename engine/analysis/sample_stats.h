// Figures that help a user find the instruments among a rip's samples:
// how loud a sample gets, and how much of it is zero-data padding.
#pragma once

#include <cstdint>

// The largest absolute value among count samples, or peakSoFar when that
// is larger, so that a sample decoded in pieces can be measured piece by
// piece. -32768 counts as 32768.
uint32_t PcmPeak(const int16_t* pcm, uint64_t count, uint32_t peakSoFar = 0);

// The share (0..1) of the 9-byte blocks at data whose 8 data bytes are all
// zero, whatever their header; 0 for no blocks.
double PaddingShare(const uint8_t* data, uint32_t blocks);
