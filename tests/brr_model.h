// A plain model of BRR decoding to hold the real decoder against: the
// filter table in floating point, truncated toward zero once, and the sum
// reduced modulo 65536. Deliberately written apart from core/brr_decoder.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

inline int16_t ModelWrap16(long long value) {
    long long low = ((value % 65536) + 65536) % 65536;
    return static_cast<int16_t>(low >= 32768 ? low - 65536 : low);
}

inline int16_t ModelSample(unsigned nibble, unsigned range, unsigned filter, int p1, int p2) {
    double n = nibble <= 7 ? nibble : static_cast<double>(nibble) - 16.0;
    double s = std::ldexp(n, static_cast<int>(range));
    double t = 0.0;
    switch (filter) {
    case 1: t = p1 * 15.0 / 16.0; break;
    case 2: t = p1 * 61.0 / 32.0 - p2 * 15.0 / 16.0; break;
    case 3: t = p1 * 115.0 / 64.0 - p2 * 13.0 / 16.0; break;
    default: break;
    }
    return ModelWrap16(static_cast<long long>(s) + static_cast<long long>(std::trunc(t)));
}

// Walks start..end as the decoding algorithm reads: a header of 0xD0 or
// above is skipped alone, any other is followed by up to 8 data bytes
// that lie at or before end. History before the run is silence.
inline std::vector<int16_t> ModelDecodeRun(const uint8_t* rom, uint32_t start, uint32_t end) {
    std::vector<int16_t> out;
    auto previous = [&out](size_t back) { return out.size() >= back ? out[out.size() - back] : 0; };
    uint64_t i = start;
    while (i <= end) {
        uint8_t header = rom[i++];
        if (header >= 0xD0) continue;
        unsigned range = header >> 4;
        unsigned filter = (header >> 2) & 3;
        for (int k = 0; k < 8 && i <= end; ++k, ++i) {
            out.push_back(ModelSample(rom[i] >> 4, range, filter, previous(1), previous(2)));
            out.push_back(ModelSample(rom[i] & 0x0F, range, filter, previous(1), previous(2)));
        }
    }
    return out;
}
