#include "engine/analysis/sample_stats.h"

#include "engine/brr/brr_block.h"

uint32_t PcmPeak(const int16_t* pcm, uint64_t count, uint32_t peakSoFar) {
    uint32_t peak = peakSoFar;
    for (uint64_t i = 0; i < count; ++i) {
        int32_t value = pcm[i];
        uint32_t magnitude = static_cast<uint32_t>(value < 0 ? -value : value);
        if (magnitude > peak) peak = magnitude;
    }
    return peak;
}

double PaddingShare(const uint8_t* data, uint32_t blocks) {
    if (blocks == 0) return 0.0;
    uint32_t padding = 0;
    for (uint32_t b = 0; b < blocks; ++b, data += kBlockBytes) {
        bool zero = true;
        for (uint32_t k = 1; k < kBlockBytes && zero; ++k) zero = data[k] == 0;
        padding += zero;
    }
    return static_cast<double>(padding) / blocks;
}
