#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "engine/song/chip_envelope.h"
#include "engine/sound/dsp.h"

namespace {

constexpr int kFrames = 6000;

// ENVX frame by frame from the emulator's DSP: voice 0 keyed at load on a
// looped one-block sample, with this envelope setting.
std::vector<int> DspEnvx(EnvelopeSetting setting) {
    std::vector<uint8_t> ram(0x10000, 0);
    ram[0x200] = 0x00, ram[0x201] = 0x03, ram[0x202] = 0x00, ram[0x203] = 0x03;  // entry 0: $0300, loop $0300
    ram[0x300] = 0xC3;                                                           // range 12, loop, end
    for (int i = 1; i < 9; ++i) ram[0x300 + i] = 0x11;
    uint8_t registers[128] = {};
    registers[0x00] = registers[0x01] = 127;
    registers[0x03] = 0x10;  // pitch $1000
    registers[0x05] = setting.adsr1, registers[0x06] = setting.adsr2, registers[0x07] = setting.gain;
    registers[0x0C] = registers[0x1C] = 127;
    registers[0x5D] = 2;     // DIR
    registers[0x6C] = 0x20;  // no echo writes
    registers[0x4C] = 1;     // KON voice 0
    Dsp dsp(ram.data());
    dsp.LoadSnapshotRegisters(registers);
    std::vector<int> envx;
    for (int f = 1; f <= kFrames; ++f) {
        dsp.RunTo(static_cast<uint64_t>(f) * 32);
        envx.push_back(dsp.Read(0x08));
    }
    return envx;
}

// Settings of each kind, with slow and fast rates.
const EnvelopeSetting kSettings[] = {
    {0xFA, 0xC0, 0}, {0xAD, 0x2F, 0}, {0x8F, 0x40, 0}, {0xDF, 0x1A, 0}, {0x8E, 0xEF, 0}, {0, 0, 0x4F},
    {0, 0, 0xDC},    {0, 0, 0xFE},    {0, 0, 0xE8},    {0, 0, 0xC9},
};

// The model stepped frame by frame equals the DSP's envelope (as ENVX
// shows it) when started at one frame and counter value that fit every
// setting at once.
TEST(ChipEnvelopeTest, FramesEqualTheEmulatorsDsp) {
    std::set<std::pair<int, uint32_t>> common;
    bool first = true;
    for (EnvelopeSetting setting : kSettings) {
        std::vector<int> envx = DspEnvx(setting);
        std::set<std::pair<int, uint32_t>> fits;
        for (int delay = 0; delay < 16; ++delay) {
            for (uint32_t back = 0; back < 64; ++back) {
                uint32_t counter = (kRateCounterValues - back) % kRateCounterValues;
                std::vector<float> level(kFrames);
                RenderChipEnvelope(setting, 0, counter, kFrames - delay, level.data());
                bool same = true;
                for (int f = 0; f < kFrames && same; ++f)
                    same = (f < delay ? 0 : static_cast<int>(level[f - delay] * kEnvelopeFull + 0.5f) >> 4) == envx[f];
                if (same) fits.insert({delay, counter});
            }
        }
        EXPECT_FALSE(fits.empty()) << int(setting.adsr1) << " " << int(setting.adsr2) << " " << int(setting.gain);
        if (first) common = fits;
        std::set<std::pair<int, uint32_t>> both;
        for (const auto& fit : fits)
            if (common.count(fit)) both.insert(fit);
        common = both;
        first = false;
    }
    ASSERT_EQ(common.size(), 1u);
    std::printf("the envelope starts %d frames after the load, the rate counter at %u\n", common.begin()->first,
                common.begin()->second);
}

}  // namespace
