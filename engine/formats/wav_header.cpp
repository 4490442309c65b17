#include "engine/formats/wav_header.h"

#include <cstring>

#include "engine/files/little_endian.h"

WavHeader BuildWavHeader(uint32_t dataBytes, int32_t rate) {
    WavHeader built;
    uint8_t* header = built.data();
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
    return built;
}
