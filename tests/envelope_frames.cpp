// Prints the chip envelope's level frame by frame from key-on, as a JSON
// array, for the page tests to hold the page's own stepping against.
// Usage: voxtrawl_envelope_frames ADSR1 ADSR2 GAIN FRAMES (global counter 0)
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/song/chip_envelope.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: voxtrawl_envelope_frames ADSR1 ADSR2 GAIN FRAMES\n");
        return 2;
    }
    auto byte = [&](int i) { return static_cast<uint8_t>(std::strtoul(argv[i], nullptr, 0)); };
    uint32_t frames = static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 0));
    std::vector<float> levels(frames);
    RenderChipEnvelope({byte(1), byte(2), byte(3)}, 0, 0, frames, levels.data());
    std::printf("[");
    for (uint32_t i = 0; i < frames; ++i) std::printf(i ? ",%.9g" : "%.9g", levels[i]);
    std::printf("]\n");
    return 0;
}
