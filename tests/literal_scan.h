// The block search done the slow, obvious way, step by step as the
// scanner's algorithm reads: the reference the real scanner must match.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

struct LiteralScanResult {
    std::vector<std::pair<uint32_t, uint32_t>> runs;  // (runStart, runEnd) of each qualifying run
    int32_t foundCount = 0;
    std::vector<uint32_t> stepPositions;  // scanPos at each progress step
    uint32_t finalScanPos = 0;
    uint32_t lastProgressPercent = 0;
};

LiteralScanResult LiteralScan(const std::vector<uint8_t>& rom, int32_t minRunBytes);
