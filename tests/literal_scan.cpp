#include "tests/literal_scan.h"

LiteralScanResult LiteralScan(const std::vector<uint8_t>& rom, int32_t minRunBytes) {
    LiteralScanResult result;
    const uint32_t romSize = static_cast<uint32_t>(rom.size());
    const uint32_t minRun = static_cast<uint32_t>(minRunBytes);
    uint32_t lastProgressPercent = 0;
    uint32_t scanPos = 0;
    while (scanPos < romSize) {
        while (scanPos < romSize && rom[scanPos] >= 0xD0) ++scanPos;
        if (scanPos == romSize) break;

        const uint32_t pos = scanPos;
        const unsigned loop = rom[pos] & 2;
        uint32_t i = pos;
        bool success = false;
        for (;;) {
            const uint8_t h = rom[i];
            if (h & 1) {
                success = true;
                break;
            }
            if (h >= 0xD0) break;
            if ((h & 2) != loop) break;
            if (uint64_t{i} + 9 >= romSize) break;
            i += 9;
        }

        const uint32_t span = success ? i - pos : 0;
        if (span < minRun) {
            scanPos = pos + 1;
        } else {
            result.runs.emplace_back(pos, i);
            ++result.foundCount;
            scanPos = i + 9;
        }

        const uint32_t percent = static_cast<uint32_t>(uint64_t{scanPos} * 100 / romSize);
        if (percent > lastProgressPercent) {
            result.stepPositions.push_back(scanPos);
            lastProgressPercent = percent;
        }
    }
    result.finalScanPos = scanPos;
    result.lastProgressPercent = lastProgressPercent;
    return result;
}
