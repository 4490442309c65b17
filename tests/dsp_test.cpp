// The DSP on its own: hand-made cases for what the snapshot renders do not
// reach, and one render driven from a snapshot and its key-on log.
#include "engine/sound/dsp.h"

#include <gtest/gtest.h>

#include "tests/shared_testdata.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <random>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr uint16_t kSampleStart = 0x1000;
constexpr uint8_t kDirPage = 0x02;

// 64 KiB of audio RAM with a directory at $0200 whose entry 0 is a one-block
// sample at $1000 (header and nibble byte given) looping to itself.
struct DspRig {
    std::vector<uint8_t> ram = std::vector<uint8_t>(0x10000, 0);
    Dsp dsp{ram.data()};
    uint64_t clock = 0;

    DspRig(uint8_t header, uint8_t nibbles) {
        uint8_t registers[128] = {};
        registers[0x6C] = 0x20;  // echo writes off
        registers[0x5D] = kDirPage;
        dsp.LoadSnapshotRegisters(registers);
        ram[kDirPage * 0x100 + 0] = kSampleStart & 0xFF;
        ram[kDirPage * 0x100 + 1] = kSampleStart >> 8;
        ram[kDirPage * 0x100 + 2] = kSampleStart & 0xFF;
        ram[kDirPage * 0x100 + 3] = kSampleStart >> 8;
        ram[kSampleStart] = header;
        for (int i = 1; i < 9; ++i) ram[kSampleStart + i] = nibbles;
    }
    void Frames(int n) { dsp.RunTo(clock += 32u * n); }
    void Write(uint8_t address, uint8_t value) {
        dsp.RunTo(clock);
        dsp.Write(address, value);
    }
    // Voice 0 at pitch $1000 with the given GAIN, keyed on; runs until it sounds.
    void KeyOn(uint8_t gain) {
        Write(0x02, 0x00);
        Write(0x03, 0x10);
        Write(0x05, 0x00);
        Write(0x07, gain);
        Write(0x4C, 0x01);
        Frames(12);
    }
    uint8_t Envx() const { return dsp.Read(0x08); }
};

// A block of range 12, filter 0: every sample the same large value.
constexpr uint8_t kLoudNibbles = 0x77;

TEST(DspTest, EndxIsSetAtAnEndBlockAndClearedByAnyWrite) {
    struct Case {
        uint8_t header;
        bool keepsSounding;
    } cases[] = {{0xC3, true}, {0xC1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        DspRig rig(c.header, kLoudNibbles);
        rig.KeyOn(0x7F);
        // A keyed voice's bit is cleared as it starts.
        EXPECT_EQ(rig.dsp.Read(0x7C) & 1, 0);
        rig.Frames(32);
        EXPECT_EQ(rig.dsp.Read(0x7C) & 1, 1);
        EXPECT_EQ(rig.Envx() != 0, c.keepsSounding);
        rig.Write(0x7C, 0x5A);
        EXPECT_EQ(rig.dsp.Read(0x7C), 0);
    }
}

TEST(DspTest, KeyOffReleasesEightPerFrame) {
    DspRig rig(0xC3, kLoudNibbles);
    rig.KeyOn(0x7F);
    ASSERT_EQ(rig.Envx(), 0x7F);
    rig.Write(0x5C, 0x01);
    int frames = 0;
    while (rig.Envx() == 0x7F && frames < 10) rig.Frames(1), ++frames;
    // From $7Fx to 0 at 8 a frame: $7F0 / 8 = 254 frames, within a frame.
    int falling = 0;
    while (rig.Envx() != 0 && falling < 400) rig.Frames(1), ++falling;
    EXPECT_NEAR(falling, 0x7F0 / 8 - 1, 2);
}

TEST(DspTest, GainModesChangeTheEnvelopeAtTheirRate) {
    struct Case {
        const char* name;
        uint8_t startGain;  // direct, to set where the envelope starts
        uint8_t gain;       // the mode under test, rate 31 (every frame)
        int envxChange;     // over 20 frames
    } cases[] = {
        {"direct", 0x7F, 0x40, 0},
        {"linear decrease", 0x7F, 0x9F, -40},
        {"exponential decrease", 0x7F, 0xBF, -10},
        {"linear increase", 0x00, 0xDF, 40},
        {"bent increase above $600", 0x60, 0xFF, 10},
        {"rate 0 never fires", 0x40, 0xC0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DspRig rig(0xC3, kLoudNibbles);
        rig.KeyOn(c.startGain);
        rig.Write(0x07, c.gain);
        rig.Frames(5);
        int before = rig.Envx();
        rig.Frames(20);
        EXPECT_EQ(rig.Envx() - before, c.envxChange);
    }
}

TEST(DspTest, EchoWritesItsRegionUnlessFlgForbids) {
    for (uint8_t flg : {0x00, 0x20}) {
        SCOPED_TRACE(flg);
        DspRig rig(0xC3, kLoudNibbles);
        std::fill(rig.ram.begin() + 0x8000, rig.ram.begin() + 0x9000, 0xAA);
        rig.Write(0x00, 0x7F);  // VOLL
        rig.Write(0x4D, 0x01);  // EON
        rig.Write(0x6D, 0x80);  // ESA: $8000
        rig.Write(0x7D, 0x01);  // EDL: 2 KiB
        rig.Write(0x6C, flg);
        rig.KeyOn(0x7F);
        rig.Frames(600);
        int outx = static_cast<int8_t>(rig.dsp.Read(0x09));
        int written = static_cast<int16_t>(rig.ram[0x8000] | rig.ram[0x8001] << 8);
        if (flg == 0x20) {
            EXPECT_EQ(rig.ram[0x8000], 0xAA);
        } else {
            // The voice's output times VOLL/128, lowest bit cleared.
            EXPECT_NE(written, 0);
            EXPECT_NEAR(written >> 8, outx * 127 / 128, 1);
        }
        EXPECT_EQ(rig.ram[0x8800], 0xAA);  // past the region
    }
}

// The echo comes back EDL x 512 frames after the sound went in (4 bytes,
// one frame, at EDL 0), through the FIR tap that weighs it: tap 7 the
// newest sample, tap 0 one seven frames older.
TEST(DspTest, EchoReturnsAfterItsDelayThroughItsTap) {
    struct Case {
        uint8_t edl;
        int tap;
        int delay;
    } cases[] = {{1, 7, 512}, {1, 0, 519}, {2, 7, 1024}, {0, 7, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.delay);
        int first[2] = {-1, -1};
        for (int echoed = 0; echoed < 2; ++echoed) {
            DspRig rig(0xC3, kLoudNibbles);
            std::vector<int16_t> out(2 * 1200);
            rig.dsp.SetOutput(out.data(), 1200);
            rig.Write(0x00, 0x7F);                      // VOLL
            rig.Write(0x4D, 0x01);                      // EON
            rig.Write(0x6D, 0x80);                      // ESA: $8000
            rig.Write(0x7D, c.edl);                     // EDL
            rig.Write(static_cast<uint8_t>(0x0F + c.tap * 0x10), 0x40);
            rig.Write(echoed ? 0x2C : 0x0C, 0x7F);      // only the echo, or only the voice
            rig.Write(0x6C, 0x00);                      // echo writes on
            rig.KeyOn(0x7F);
            rig.Frames(1100);
            for (size_t i = 0; i < rig.dsp.FramesWritten() && first[echoed] < 0; ++i)
                if (out[i * 2] != 0) first[echoed] = static_cast<int>(i);
        }
        ASSERT_GE(first[0], 0);
        EXPECT_EQ(first[1] - first[0], c.delay);
    }
}

// With feedback the echo goes round again: EFB 1/2 adds half the FIR output
// (here half of what came back) to what is written, so the second pass of a
// steady sound is 1.25 times the first.
TEST(DspTest, EchoFeedbackAddsAPassPerDelay) {
    DspRig rig(0xC3, kLoudNibbles);
    std::vector<int16_t> out(2 * 1200);
    rig.dsp.SetOutput(out.data(), 1200);
    rig.Write(0x00, 0x40);  // VOLL: half, so that the sums stay unclamped
    rig.Write(0x4D, 0x01);  // EON
    rig.Write(0x6D, 0x80);  // ESA: $8000
    rig.Write(0x7D, 0x01);  // EDL: 512 frames
    rig.Write(0x7F, 0x40);  // tap 7: 1/1
    rig.Write(0x0D, 0x40);  // EFB: 1/2
    rig.Write(0x2C, 0x7F);  // EVOLL
    rig.Write(0x6C, 0x00);
    rig.KeyOn(0x7F);
    rig.Frames(1100);
    int once = out[2 * 600], twice = out[2 * 1112];
    ASSERT_NE(once, 0);
    EXPECT_NEAR(static_cast<double>(twice) / once, 1.25, 0.01);
}

// PMON: a voice's pitch grows by its own pitch times the output of the
// voice below / 32768 (its OUTX x 256 here), which the time between its
// end blocks shows.
TEST(DspTest, PitchModulationFollowsTheVoiceBelow) {
    for (uint8_t pmon : {0x00, 0x02}) {
        SCOPED_TRACE(pmon);
        DspRig rig(0xC3, kLoudNibbles);
        rig.KeyOn(0x7F);  // voice 0: loud and steady
        rig.Write(0x13, 0x04);  // voice 1: pitch $400, a block per 64 frames
        rig.Write(0x17, 0x7F);
        rig.Write(0x2D, pmon);
        rig.Write(0x4C, 0x02);
        rig.Frames(40);
        int below = static_cast<int8_t>(rig.dsp.Read(0x09)) * 256;
        rig.Write(0x7C, 0);
        std::vector<int> ends;
        for (int frame = 0; frame < 800 && ends.size() < 9; ++frame) {
            rig.Frames(1);
            if (rig.dsp.Read(0x7C) & 2) {
                ends.push_back(frame);
                rig.Write(0x7C, 0);
            }
        }
        ASSERT_EQ(ends.size(), 9u);
        double pitch = 0x400 + (pmon ? 0x400 * below / 32768.0 : 0);
        EXPECT_NEAR((ends.back() - ends.front()) / 8.0, 16 * 0x1000 / pitch, 0.6);
    }
}

TEST(DspTest, FlgResetSilencesEveryVoiceForGood) {
    DspRig rig(0xC3, kLoudNibbles);
    rig.KeyOn(0x7F);
    ASSERT_NE(rig.Envx(), 0);
    rig.Write(0x6C, 0xA0);
    rig.Frames(3);  // ENVX is stored early in the frame after next
    EXPECT_EQ(rig.Envx(), 0);
    rig.Write(0x6C, 0x20);
    rig.Frames(20);
    EXPECT_EQ(rig.Envx(), 0);
}

// Mixing from some frame on gives the frames a mix from the start gives.
TEST(DspTest, MixingStartsWholeAfterUnmixedFrames) {
    std::array<int16_t, 2 * 64> frames[2];
    for (int late = 0; late < 2; ++late) {
        DspRig rig(0xC3, kLoudNibbles);
        rig.Write(0x00, 0x7F);  // VOLL
        rig.Write(0x0C, 0x7F);  // MVOLL
        std::array<int16_t, 2 * 64> early;
        rig.dsp.SetOutput(late ? nullptr : early.data(), 64);
        rig.KeyOn(0x7F);
        rig.Frames(20);
        rig.dsp.SetOutput(frames[late].data(), 64);
        rig.Frames(64);
    }
    EXPECT_NE(frames[0][0], 0);
    EXPECT_TRUE(frames[0] == frames[1]);
}

// The noise register as documented: 15 bits, new top bit = bit 0 ^ bit 1.
int NextNoise(int noise) { return (((noise << 13) ^ (noise << 14)) & 0x4000) ^ (noise >> 1); }

// OUTX of a noise voice at envelope $7F0.
uint8_t NoiseOutx(int noise) {
    int output = ((static_cast<int16_t>(noise * 2) * 0x7F0) >> 11) & ~1;
    return static_cast<uint8_t>(output >> 8);
}

TEST(DspTest, NoiseFollowsItsShiftRegisterAtTheFlgRate) {
    DspRig rig(0xC3, 0x00);
    rig.Write(0x3D, 0x01);  // NON
    rig.Write(0x6C, 0x20);  // rate 0: the register stays at $4000
    rig.KeyOn(0x7F);
    EXPECT_EQ(rig.dsp.Read(0x09), NoiseOutx(0x4000));
    rig.Write(0x6C, 0x3F);  // rate 31: a step every frame
    std::vector<uint8_t> seen;
    for (int i = 0; i < 64; ++i) rig.Frames(1), seen.push_back(rig.dsp.Read(0x09));
    std::vector<uint8_t> expected;
    for (int i = 0, noise = 0x4000; i < 80; ++i, noise = NextNoise(noise)) expected.push_back(NoiseOutx(noise));
    bool found = false;
    for (size_t shift = 0; shift < 8 && !found; ++shift)
        found = std::equal(seen.begin(), seen.end(), expected.begin() + shift);
    EXPECT_TRUE(found);
}

// Frame() regroups the chip's clock order for speed; on random RAM and
// registers, with random writes between frames, it must leave the same
// registers, RAM and output as the 32 clocks in turn, run in pieces.
TEST(DspTest, WholeFramesEqualTheClockOrder) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        std::vector<uint8_t> ram[2];
        ram[0].resize(0x10000);
        for (uint8_t& byte : ram[0]) byte = static_cast<uint8_t>(random());
        ram[1] = ram[0];
        std::array<int16_t, 2 * 400> out[2];
        DspCore core[2];
        for (uint8_t& reg : core[0].regs) reg = static_cast<uint8_t>(random());
        for (int k = 0; k < 2; ++k) {
            core[k].ram = ram[k].data();
            // Half the rounds unmixed, where the frame may skip the FIR.
            core[k].out = round % 2 ? out[k].data() : nullptr;
            core[k].outCapacity = round % 2 ? 400 : 0;
        }
        std::memcpy(core[1].regs, core[0].regs, 128);
        for (int k = 0; k < 2; ++k) {
            core[k].regs[dspreg::kFlg] &= 0x7F;
            core[k].Start();
            core[k].newKon = 0xFF;
        }
        for (int frame = 0; frame < 400; ++frame) {
            int address = static_cast<int>(random() & 0x7F);
            uint8_t value = static_cast<uint8_t>(random());
            if (address == dspreg::kFlg) value &= 0x7F;
            for (int k = 0; k < 2; ++k) {
                core[k].regs[address] = value;
                if (address == dspreg::kKon) core[k].newKon = value;
            }
            core[0].Frame();
            // The same frame clock by clock, in pieces.
            for (int first = 0, count; first < 32; first += count) {
                count = 1 + static_cast<int>(random() % (32 - first));
                core[1].Clocks(first, count);
            }
            ASSERT_EQ(std::memcmp(core[0].regs, core[1].regs, 128), 0) << "frame " << frame;
        }
        EXPECT_TRUE(ram[0] == ram[1]);
        if (round % 2) {
            EXPECT_TRUE(out[0] == out[1]);
        }
        EXPECT_EQ(core[0].outWritten, round % 2 ? 400u : 0u);
    }
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The first field named `key` in `text` (a number).
int Field(const std::string& text, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(text, m, std::regex("\"" + key + "\":(-?[0-9]+)"))) return 0;
    return std::stoi(m[1].str());
}

// lorom-template's driver sets MVOL to 127 and turns echo writes off before
// its first key-on and writes nothing else that sounds: the DSP alone, fed
// the key-on log's registers at the logged clocks, must give its render.
TEST(DspTest, KeyOnLogDrivesTheDspToTheReferenceRender) {
    std::string base = SharedTestData("spc").string() + "/";
    std::vector<uint8_t> spc = ReadBytes(base + "lorom-template.spc");
    std::vector<uint8_t> wav = ReadBytes(base + "reference/lorom-template.render-10s.wav");
    std::ifstream log(base + "reference/lorom-template.keyons.jsonl");
    if (spc.size() < 0x10180 || wav.size() <= 44 || !log) GTEST_SKIP() << "no shared test data under " << base;
    std::vector<uint8_t> ram(spc.begin() + 0x100, spc.begin() + 0x10100);
    Dsp dsp(ram.data());
    dsp.LoadSnapshotRegisters(spc.data() + 0x10100);
    size_t frames = (wav.size() - 44) / 4;
    std::vector<int16_t> out(frames * 2);
    dsp.SetOutput(out.data(), frames);
    dsp.Write(0x0C, 127);
    dsp.Write(0x1C, 127);
    dsp.Write(0x6C, 0x20);
    static const std::array<std::pair<const char*, int>, 8> kVoiceFields = {{{"voll", 0}, {"volr", 1}, {"srcn", 4},
        {"adsr1", 5}, {"adsr2", 6}, {"gain", 7}, {"pitch", 2}, {"pitch", 3}}};
    for (std::string line; std::getline(log, line);) {
        size_t voicesAt = line.find("\"voices\"");
        std::string head = line.substr(0, voicesAt);
        std::smatch m;
        ASSERT_TRUE(std::regex_search(head, m, std::regex("\"sample\":([0-9.]+)")));
        dsp.RunTo(static_cast<uint64_t>(std::stod(m[1].str()) * 32 + 0.5));
        dsp.Write(0x5D, static_cast<uint8_t>(Field(head, "dir")));
        std::regex voice("\\{[^}]*\\}");
        std::string rest = line.substr(voicesAt);
        for (std::sregex_iterator it(rest.begin(), rest.end(), voice), end; it != end; ++it) {
            std::string v = it->str();
            int base = Field(v, "v") * 0x10;
            for (const auto& [key, offset] : kVoiceFields) {
                int value = Field(v, key);
                dsp.Write(static_cast<uint8_t>(base + offset), static_cast<uint8_t>(offset == 3 ? value >> 8 : value));
            }
        }
        dsp.Write(0x4C, static_cast<uint8_t>(Field(head, "kon")));
    }
    dsp.RunTo(frames * 32);
    ASSERT_EQ(dsp.FramesWritten(), frames);
    const uint8_t* ref = wav.data() + 44;
    for (size_t i = 0; i < frames * 2; ++i) {
        int16_t expected = static_cast<int16_t>(ref[i * 2] | ref[i * 2 + 1] << 8);
        ASSERT_EQ(out[i], expected) << "frame " << i / 2 << (i % 2 ? " right" : " left");
    }
}

}  // namespace
