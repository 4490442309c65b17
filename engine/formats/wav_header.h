// The 44-byte RIFF WAVE header (PCM, mono, 16 bits).
#pragma once

#include <cstdint>

constexpr unsigned kWavHeaderSize = 44;

// The most PCM bytes one WAVE file can describe: its RIFF size field, a
// 32-bit number, holds the data size plus 36.
constexpr uint64_t kMaxWavDataBytes = 0xFFFFFFFFu - 36;
inline bool FitsOneWavFile(uint64_t pcmBytes) { return pcmBytes <= kMaxWavDataBytes; }

// Builds the header in a static buffer and returns it; valid until the next call.
const uint8_t* BuildWavHeader(uint32_t dataBytes, int32_t rate);
