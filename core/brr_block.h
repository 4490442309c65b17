// The 9-byte BRR block: a header byte and 8 data bytes.
#pragma once

#include <cstdint>

constexpr uint32_t kBlockBytes = 9;
// Headers from here up (range 13 to 15) never start or continue a run.
constexpr uint8_t kFirstInvalidHeader = 0xD0;
// Header bits: the last block of a run, and a looping sample.
constexpr uint8_t kEndFlag = 0x01;
constexpr uint8_t kLoopFlag = 0x02;
