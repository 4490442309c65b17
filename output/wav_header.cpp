#include "output/wav_header.h"

#include <cstring>

namespace {

uint8_t header[kWavHeaderSize];

void PutLe16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

const uint8_t* BuildWavHeader(uint32_t dataBytes, int32_t rate) {
    uint32_t unsignedRate = static_cast<uint32_t>(rate);
    std::memcpy(header + 0, "RIFF", 4);
    PutLe32(header + 4, dataBytes + 36);  // wraps like the format's own 32-bit field
    std::memcpy(header + 8, "WAVE", 4);
    std::memcpy(header + 12, "fmt ", 4);
    PutLe32(header + 16, 16);
    PutLe16(header + 20, 1);  // PCM
    PutLe16(header + 22, 1);  // mono
    PutLe32(header + 24, unsignedRate);
    PutLe32(header + 28, unsignedRate * 2);  // 16-bit mono: two bytes a frame
    PutLe16(header + 32, 2);
    PutLe16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    PutLe32(header + 40, dataBytes);
    return header;
}
