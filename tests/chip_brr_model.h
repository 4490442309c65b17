// An independent model of the sound chip's BRR arithmetic to hold the
// chip decoder against: the history is kept at 15-bit precision as the
// fractions of the hardware documents (p1, p2 halved), products in 64
// bits, then the clamp and the 16-bit view of the doubled value.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace chip_model {

// Division rounding toward minus infinity, which is what the chip's
// arithmetic shifts do.
inline int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

inline int16_t Sample(int nibble, unsigned range, unsigned filter, int64_t stored1, int64_t stored2) {
    int64_t s = range <= 12 ? FloorDiv(nibble * (int64_t{1} << range), 2) : (nibble < 0 ? -2048 : 0);
    int64_t half2 = FloorDiv(stored2, 2);
    if (filter == 1) s += FloorDiv(stored1, 2) + FloorDiv(-stored1, 32);
    if (filter == 2) s += stored1 - half2 + FloorDiv(half2, 16) + FloorDiv(-3 * stored1, 64);
    if (filter == 3) s += stored1 - half2 + FloorDiv(-13 * stored1, 128) + FloorDiv(3 * half2, 16);
    s = std::clamp<int64_t>(s, -32768, 32767);
    int64_t doubled = ((s * 2) % 65536 + 65536) % 65536;
    return static_cast<int16_t>(doubled >= 32768 ? doubled - 65536 : doubled);
}

// Appends the decoding of blocks first..last-1 of the 9-byte blocks at
// data to out, taking the history from what out already ends with.
inline void DecodeOnto(const std::vector<uint8_t>& data, size_t first, size_t last, std::vector<int16_t>& out) {
    for (size_t b = first; b < last; ++b) {
        const uint8_t* block = &data[9 * b];
        for (size_t k = 1; k < 9; ++k) {
            for (int v : {block[k] >> 4, block[k] & 15}) {
                int64_t p1 = out.empty() ? 0 : out.back();
                int64_t p2 = out.size() < 2 ? 0 : out[out.size() - 2];
                out.push_back(Sample(v < 8 ? v : v - 16, block[0] >> 4, (block[0] >> 2) & 3, p1, p2));
            }
        }
    }
}

struct Loop {
    std::vector<int16_t> pcm;
    size_t passes = 0;
    size_t firstPass = 0;
    bool stable = true;
};

// The chip playing the sample on and on: the stream goes on decoding the
// loop blocks after the end block, and each new pass is compared with
// every pass kept so far.
inline Loop RenderLoop(const std::vector<uint8_t>& blocks, size_t loopBlock) {
    size_t count = blocks.size() / 9;
    Loop model;
    chip_model::DecodeOnto(blocks, 0, count, model.pcm);
    std::vector<std::vector<int16_t>> passes{std::vector<int16_t>(model.pcm.begin() + 16 * loopBlock, model.pcm.end())};
    for (;;) {
        std::vector<int16_t> stream = model.pcm;
        chip_model::DecodeOnto(blocks, loopBlock, count, stream);
        std::vector<int16_t> next(stream.begin() + model.pcm.size(), stream.end());
        auto repeat = std::find(passes.begin(), passes.end(), next);
        if (repeat != passes.end() || passes.size() == 64) {
            model.passes = passes.size();
            model.stable = repeat != passes.end();
            model.firstPass = model.stable ? repeat - passes.begin() : passes.size() - 1;
            return model;
        }
        passes.push_back(next);
        model.pcm = stream;
    }
}

}  // namespace chip_model
