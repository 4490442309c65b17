// The sound processor allocates nothing while it runs: a program that keys
// voices on at every timer tick runs a second, mixed and unmixed, with the
// allocation counter watching.
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "engine/sound/sound_processor.h"

namespace {
size_t allocations = 0;
}  // namespace

void* operator new(size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// GCC takes the pairing of these replacements for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

TEST(SoundProcessor, RunsWithoutAllocating) {
    auto snapshot = std::make_unique<SpcSnapshot>();
    const uint8_t program[] = {0x8F, 0x10, 0xFA, 0x8F, 0x01, 0xF1,  // timer 0 every 16 ticks
                               0xE4, 0xFD, 0xF0, 0xFC,              // wait for it
                               0x8F, 0x4C, 0xF2, 0x8F, 0xFF, 0xF3,  // key every voice on
                               0x2F, 0xF4};
    std::copy(std::begin(program), std::end(program), snapshot->ram.begin() + 0x200);
    snapshot->cpu.pc = 0x200;
    // Every voice plays a looping block at $1100 (directory at $1000).
    const uint8_t entry[] = {0x00, 0x11, 0x00, 0x11};
    const uint8_t block[] = {0xB3, 0x17, 0x7F, 0x71, 0xF0, 0x0F, 0x88, 0x99, 0x12};
    std::copy(std::begin(entry), std::end(entry), snapshot->ram.begin() + 0x1000);
    std::copy(std::begin(block), std::end(block), snapshot->ram.begin() + 0x1100);
    snapshot->dsp[0x5D] = 0x10;
    for (int v = 0; v < 8; ++v) {
        snapshot->dsp[v << 4] = snapshot->dsp[(v << 4) + 1] = 0x40;
        snapshot->dsp[(v << 4) + 3] = 0x10;
        snapshot->dsp[(v << 4) + 5] = 0xFF;
    }
    snapshot->dsp[0x0C] = snapshot->dsp[0x1C] = 0x7F;
    snapshot->dsp[0x6D] = 0x20;  // echo on, 4 KiB at $2000
    snapshot->dsp[0x7D] = 2;
    snapshot->dsp[0x4D] = 0xFF;
    auto sound = std::make_unique<SoundProcessor>();
    sound->Load(*snapshot);
    std::vector<int16_t> frames(2 * (1000 + kRunSlackFrames));
    size_t before = allocations;
    for (int slice = 0; slice < 32; ++slice) sound->Run(1000, slice % 2 ? frames.data() : nullptr);
    EXPECT_EQ(allocations, before);
    EXPECT_EQ(sound->GetDsp().Read(0x4C), 0xFF);  // the program ran
    bool sounded = false;
    for (int16_t sample : frames) sounded = sounded || sample != 0;
    EXPECT_TRUE(sounded);
}
