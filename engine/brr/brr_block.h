// The 9-byte BRR block: a header byte and 8 data bytes.
#pragma once

#include <cstdint>

constexpr uint32_t kBlockBytes = 9;
// Headers from here up (range 13 to 15) never start or continue a run.
constexpr uint8_t kFirstInvalidHeader = 0xD0;
// Header bits: the last block of a run, and a looping sample.
constexpr uint8_t kEndFlag = 0x01;
constexpr uint8_t kLoopFlag = 0x02;

// Blocks in the chain from the block at start to the end block at end,
// both counted (end - start is a multiple of kBlockBytes).
constexpr uint32_t BlocksInRun(uint32_t start, uint32_t end) { return (end - start) / kBlockBytes + 1; }
