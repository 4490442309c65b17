// An SPC snapshot read for running: the CPU registers, audio RAM, DSP
// registers, the RAM under the boot ROM and the ID666 song length and fade.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/sound/spc700.h"

struct SpcSnapshot {
    Spc700Registers cpu;
    std::array<uint8_t, 0x10000> ram{};
    std::array<uint8_t, 128> dsp{};
    std::array<uint8_t, 64> extraRam{};  // what lies under the boot ROM
    bool hasTag = false;                 // an ID666 tag is present
    uint32_t lengthSeconds = 0;          // 0: not given
    uint32_t fadeMilliseconds = 0;
};

// The smallest file that holds a whole snapshot (through the extra RAM).
constexpr size_t kSpcSnapshotBytes = 0x10200;

// Reads a snapshot from a file's bytes; false when it is not one (no
// signature, or too short to hold the DSP registers). A file that stops
// before the extra RAM leaves it zero.
bool ReadSpcSnapshot(const uint8_t* data, size_t size, SpcSnapshot& snapshot);
