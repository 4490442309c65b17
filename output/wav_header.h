// The 44-byte RIFF WAVE header (PCM, mono, 16 bits).
#pragma once

#include <cstdint>

constexpr unsigned kWavHeaderSize = 44;

// Builds the header in a static buffer and returns it; valid until the next call.
const uint8_t* BuildWavHeader(uint32_t dataBytes, int32_t rate);
