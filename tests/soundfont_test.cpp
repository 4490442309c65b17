#include <fluidsynth.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/formats/soundfont.h"
#include "tests/test_support.h"

namespace {

using Pcm = std::vector<int16_t>;
using Wave = std::vector<float>;
constexpr double kPi = 3.14159265358979323846;

Pcm Sine(size_t points, double period, double amplitude) {
    Pcm pcm(points);
    for (size_t i = 0; i < points; ++i) pcm[i] = static_cast<int16_t>(amplitude * std::sin(2 * kPi * i / period));
    return pcm;
}

// Sample 0: a 32-point attack, then a loop of one 64-point sine period
// (500 Hz at 32 kHz: 21 cents above key 71). Sample 1: 320 points that
// stop. Sample 2: a name with control characters, looped from its start.
const std::vector<SoundFontSample> kSamples = {
    {"looped", 32000, 96, true, 32, 96, 71, -21, {}},
    {"stops", 32000, 320, false, 0, 0, 60, 0, {}},
    {"tab\there\x01 and a very long name", 16000, 16, true, 0, 16, 60, 0, {}},
};
const std::vector<Pcm> kPcm = {Sine(96, 64, 12000), Sine(320, 40, 9000), Pcm(16, 100)};

// Writes the bank to a file and loads it into FluidSynth, which renders
// it; any warning or error the library logs fails the test.
class SoundFontTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<uint32_t> read(kPcm.size());
        auto pcm = [&](size_t index, int16_t* out, uint32_t count) {
            std::copy_n(kPcm[index].begin() + read[index], count, out);
            read[index] += count;
            return true;
        };
        auto sink = [&](const uint8_t* data, size_t bytes) { return file.insert(file.end(), data, data + bytes), true; };
        ASSERT_EQ(WriteSoundFont(kSamples, "test bank", pcm, sink), SoundFontError::None);
        ASSERT_EQ(file.size(), SoundFontBytes(kSamples, "test bank"));
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN}) fluid_set_log_function(level, Log, &logged);
        settings = new_fluid_settings();
        fluid_settings_setnum(settings, "synth.sample-rate", 32000);
        fluid_settings_setint(settings, "synth.reverb.active", 0);
        fluid_settings_setint(settings, "synth.chorus.active", 0);
        synth = new_fluid_synth(settings);
        path = testing::TempDir() + "voxtrawl_bank.sf2";
        WriteWholeFile(path, file);
        font = fluid_synth_sfload(synth, path.c_str(), 1);
        ASSERT_GE(font, 0);
    }
    void TearDown() override {
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
        std::remove(path.c_str());
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN}) fluid_set_log_function(level, nullptr, nullptr);
        EXPECT_TRUE(logged.empty()) << logged.front();
    }
    static void Log(int level, const char* message, void* data) {
        static_cast<std::vector<std::string>*>(data)->push_back(std::to_string(level) + ": " + message);
    }
    // Holds key on a preset for seconds; the left channel in 16-bit units, undithered.
    Wave Play(int bank, int program, int key, double seconds) {
        int channel = bank == 128 ? 9 : 0;
        EXPECT_EQ(fluid_synth_program_select(synth, channel, font, bank, program), FLUID_OK);
        fluid_synth_noteon(synth, channel, key, 100);
        Wave left(static_cast<size_t>(seconds * 32000));
        Wave right(left.size());
        fluid_synth_write_float(synth, static_cast<int>(left.size()), left.data(), 0, 1, right.data(), 0, 1);
        fluid_synth_noteoff(synth, channel, key);
        for (float& value : left) value *= 32768;
        return left;
    }
    Bytes file;
    std::vector<std::string> logged;
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    std::string path;
    int font = -1;
};

TEST_F(SoundFontTest, ReadsBackPresetsChunksAndPoints) {
    std::vector<std::string> presets;
    fluid_sfont_t* sfont = fluid_synth_get_sfont_by_id(synth, font);
    fluid_sfont_iteration_start(sfont);
    while (fluid_preset_t* preset = fluid_sfont_iteration_next(sfont))
        presets.push_back(std::to_string(fluid_preset_get_banknum(preset)) + ":" +
                          std::to_string(fluid_preset_get_num(preset)) + " " + fluid_preset_get_name(preset));
    EXPECT_EQ(presets, (std::vector<std::string>{"0:0 looped", "0:1 stops", "0:2 tab_here_ and a ver", "128:0 all samples"}));

    // The layout: RIFF size, the smpl points with their padding, the nine
    // preset-data chunks in order with the sample headers last.
    EXPECT_EQ(GetLe32(&file[4]), file.size() - 8);
    size_t smpl = std::string(file.begin(), file.end()).find("smpl") + 8;
    size_t point = 0;
    for (size_t s = 0; s < kPcm.size(); ++s) {
        for (size_t i = 0; i < kPcm[s].size() + kSamplePadding; ++i, ++point)
            ASSERT_EQ(static_cast<int16_t>(GetLe16(&file[smpl + 2 * point])), i < kPcm[s].size() ? kPcm[s][i] : 0);
    }
    size_t at = smpl + 2 * point + 12;  // after "LIST", its size and "pdta"
    for (const char* id : {"phdr", "pbag", "pmod", "pgen", "inst", "ibag", "imod", "igen", "shdr"}) {
        ASSERT_EQ(std::string(&file[at], &file[at] + 4), id);
        at += 8 + GetLe32(&file[at + 4]);
    }
    EXPECT_EQ(at, file.size());
    const uint8_t* header = &file[at - 4 * 46];  // sample 0: loop, rate, key, correction
    EXPECT_EQ(GetLe32(header + 28) - GetLe32(header + 20), 32u);
    EXPECT_EQ(GetLe32(header + 32) - GetLe32(header + 20), 96u);
    EXPECT_EQ(GetLe32(header + 36), 32000u);
    EXPECT_EQ(header[40], 71);
    EXPECT_EQ(static_cast<int8_t>(header[41]), -21);
}

// Frequency from the first and last rising zero crossings of the last
// half second, placed between samples.
double Frequency(const Wave& wave) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = wave.size() - 16000; i + 1 < wave.size(); ++i) {
        if (wave[i] < 0 && wave[i + 1] >= 0) {
            last = i - wave[i] / (wave[i + 1] - wave[i]);
            first = first < 0 ? last : first;
            ++crossings;
        }
    }
    return crossings > 1 ? 32000.0 * (crossings - 1) / (last - first) : 0;
}

double Rms(const Wave& wave, size_t from) {
    double sum = 0;
    for (size_t i = from; i < wave.size(); ++i) sum += static_cast<double>(wave[i]) * wave[i];
    return std::sqrt(sum / (wave.size() - from));
}

double Cents(double hz, double expected) { return 1200 * std::log2(hz / expected); }

TEST_F(SoundFontTest, LoopsSoundInTuneAndUnloopedSamplesStop) {
    // Key 71 is 493.88 Hz: the 500 Hz loop corrected by 21 cents.
    Wave held = Play(0, 0, 71, 3.0);
    EXPECT_GT(Rms(held, held.size() - 3200), 100) << "the loop still sounds after 3 s";
    EXPECT_NEAR(Cents(Frequency(held), 493.88), 0, 3);
    EXPECT_NEAR(Cents(Frequency(Play(0, 0, 83, 1.0)), 2 * 493.88), 0, 3);
    // Without a loop, 320 points last 10 ms at the sample's own rate.
    Wave stopped = Play(0, 1, 60, 1.0);
    EXPECT_GT(Rms(stopped, 0), 10);
    EXPECT_LT(Rms(stopped, 3200), 0.01) << "silent after its length";
    // The kit plays sample 0 at its own rate (500 Hz) on key 36.
    EXPECT_NEAR(Cents(Frequency(Play(128, 0, 36, 1.0)), 500), 0, 3);
}

TEST(SoundFontCheckTest, RefusesWhatCannotBeABank) {
    SoundFontSample sample{"x", 32000, 32, true, 16, 32, 60, 0, {}};
    auto check = [](std::vector<SoundFontSample> samples) { return CheckSoundFont(samples, ""); };
    EXPECT_EQ(check({sample}), SoundFontError::None);
    EXPECT_EQ(check({}), SoundFontError::NoSamples);
    EXPECT_EQ(check(std::vector<SoundFontSample>(kMaxSoundFontSamples + 1, sample)), SoundFontError::TooManySamples);
    for (auto [start, end] : {std::pair{16u, 16u}, {0u, 33u}, {20u, 10u}})
        EXPECT_EQ(check({{"x", 32000, 32, true, start, end, 60, 0, {}}}), SoundFontError::BadLoop) << start << " " << end;
    EXPECT_EQ(check({{"x", 32000, 0xC0000000u, false, 0, 0, 60, 0, {}}}), SoundFontError::TooLarge);  // 6 GiB
}

}  // namespace
