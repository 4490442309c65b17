// The 44-byte RIFF WAVE header (PCM, mono, 16 bits).
#pragma once

#include <array>
#include <cstdint>

constexpr unsigned kWavHeaderSize = 44;

// The most PCM bytes one WAVE file can describe: its RIFF size field, a
// 32-bit number, holds the data size plus 36.
constexpr uint64_t kMaxWavDataBytes = 0xFFFFFFFFu - 36;
inline bool FitsOneWavFile(uint64_t pcmBytes) { return pcmBytes <= kMaxWavDataBytes; }

using WavHeader = std::array<uint8_t, kWavHeaderSize>;

// The header of a file with dataBytes of PCM at rate.
WavHeader BuildWavHeader(uint32_t dataBytes, int32_t rate);
