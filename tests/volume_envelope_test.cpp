#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/song/envelope_shape.h"
#include "engine/song/volume_envelope.h"
#include "tests/test_support.h"

namespace {

constexpr int kRate = 32000;
constexpr int kPeriod = 16;  // points of the test tone: 2 kHz
constexpr int kWindow = 2 * kPeriod;
constexpr double kHeld = 2.1;

struct Setting {
    const char* what;
    EnvelopeSetting setting;
    double toleranceDb;
};

// Settings the shared songs use, and one of each kind besides. A SoundFont
// envelope falls in one straight line of decibels: where the chip bends
// between two falls (a decay, then a sustain rate; an exponential fall
// ending in a linear one) the fitted line misses it by up to 4 dB.
const Setting kSettings[] = {
    {"ADSR A15 D7 SL7 SR0", {0xFF, 0xE0, 0}, 3},  {"ADSR A15 D3 SL1 SR0", {0xBF, 0x20, 0}, 3},
    {"ADSR A15 D0 SL2 SR0", {0x8F, 0x40, 0}, 3},  {"ADSR A4 D2 SL3 SR0", {0xA4, 0x60, 0}, 3},
    {"ADSR A13 D2 SL1 SR15", {0xAD, 0x2F, 0}, 4}, {"ADSR A14 D0 SL7 SR15", {0x8E, 0xEF, 0}, 3},
    {"ADSR A15 D5 SL0 SR26", {0xDF, 0x1A, 0}, 3}, {"ADSR A12 D4 SL5 SR10", {0xCC, 0xAA, 0}, 3},
    {"GAIN direct $4F", {0, 0, 0x4F}, 3},         {"GAIN linear down rate 14", {0, 0, 0x8E}, 3},
    {"GAIN exp down rate 18", {0, 0, 0xB2}, 4},   {"GAIN linear up rate 12", {0, 0, 0xCC}, 3},
    {"GAIN bent up rate 10", {0, 0, 0xEA}, 3},
};
// Where the chip has fallen below this, the SoundFont only has to be quiet
// too: the chip ends in silence, the SoundFont's straight fall later.
constexpr double kQuietDb = -40;
constexpr double kQuietEnoughDb = -30;

// A bank of one looped tone per setting, each with the setting's
// envelope, and last the tone with none (the full level).
Bytes Bank() {
    std::vector<SoundFontSample> samples;
    for (const Setting& s : kSettings) {
        samples.push_back({s.what, kRate, kPeriod, true, 0, kPeriod, 60, 0, {}});
        samples.back().layers = {VolumeEnvelopeGenerators(VolumeEnvelopeOf(s.setting))};
    }
    samples.push_back({"full", kRate, kPeriod, true, 0, kPeriod, 60, 0, {}});
    Bytes file;
    auto pcm = [](size_t, int16_t* out, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) out[i] = static_cast<int16_t>(16000 * std::sin(2 * M_PI * i / kPeriod));
        return true;
    };
    auto sink = [&](const uint8_t* data, size_t bytes) { return file.insert(file.end(), data, data + bytes), true; };
    EXPECT_EQ(WriteSoundFont(samples, "envelopes", pcm, sink), SoundFontError::None);
    return file;
}

// Root-mean-square over a window centred on each time: FluidSynth's output
// measured, the chip's envelope computed the same way for a fair comparison.
double WindowRms(const std::vector<float>& wave, double t) {
    size_t from = static_cast<size_t>(std::max(0.0, t * kRate - kWindow / 2.0));
    double sum = 0;
    for (size_t i = from; i < from + kWindow; ++i) sum += static_cast<double>(wave[i]) * wave[i];
    return std::sqrt(sum / kWindow);
}

// Holds a key on each preset for kHeld seconds: the left channel.
std::vector<std::vector<float>> Render(const std::string& path) {
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", kRate);
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    int font = fluid_synth_sfload(synth, path.c_str(), 1);
    std::vector<std::vector<float>> waves;
    for (size_t p = 0; font >= 0 && p <= std::size(kSettings); ++p) {
        fluid_synth_program_select(synth, 0, font, 0, static_cast<int>(p));
        fluid_synth_noteon(synth, 0, 60, 127);
        std::vector<float> left(static_cast<size_t>(kHeld * kRate)), right(left.size());
        fluid_synth_write_float(synth, static_cast<int>(left.size()), left.data(), 0, 1, right.data(), 0, 1);
        fluid_synth_noteoff(synth, 0, 60);
        std::vector<float> rest(kRate / 10);
        fluid_synth_write_float(synth, static_cast<int>(rest.size()), rest.data(), 0, 1, rest.data(), 0, 1);
        waves.push_back(left);
    }
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return waves;
}

// The chip's envelope as a window's root-mean-square level.
double ChipWindowLevel(EnvelopeSetting setting, double t) {
    std::vector<double> times;
    double from = std::max(0.0, t * kRate - kWindow / 2.0);
    for (int i = 0; i < kWindow; ++i) times.push_back((from + i) / kRate);
    double sum = 0;
    for (double level : ChipEnvelopeLevels(setting, times)) sum += level * level;
    return std::sqrt(sum / kWindow);
}

// Where the check looks: the end of the attack, the end of the decay, 0.5 s
// and 2 s; none sooner than 4 ms (a SoundFont attack takes at least 1 ms,
// and FluidSynth moves its envelopes in blocks of 64 frames).
std::vector<std::pair<const char*, double>> Checkpoints(EnvelopeSetting setting) {
    EnvelopeShape shape = DescribeEnvelope(setting);
    std::vector<std::pair<const char*, double>> points;
    double attack = shape.attack.value_or(0);
    if (shape.attack) points.push_back({"attack", std::max(attack, 0.004)});
    if (shape.decay && attack + *shape.decay < kHeld - 0.01)
        points.push_back({"decay", std::max(attack + *shape.decay, 0.004)});
    points.push_back({"0.5 s", 0.5});
    points.push_back({"2 s", 2.0});
    return points;
}

TEST(VolumeEnvelopeTest, FluidSynthFollowsTheChipWithin3Db) {
    std::string path = testing::TempDir() + "voxtrawl_envelopes.sf2";
    WriteWholeFile(path, Bank());
    std::vector<std::vector<float>> waves = Render(path);
    std::remove(path.c_str());
    ASSERT_EQ(waves.size(), std::size(kSettings) + 1);
    double full = WindowRms(waves.back(), 1.0);
    ASSERT_GT(full, 0.01);
    for (size_t i = 0; i < std::size(kSettings); ++i) {
        std::string row = kSettings[i].what;
        for (auto [name, t] : Checkpoints(kSettings[i].setting)) {
            double chip = ChipWindowLevel(kSettings[i].setting, t);
            double synth = WindowRms(waves[i], t) / full;
            double chipDb = 20 * std::log10(chip + 1e-9), synthDb = 20 * std::log10(synth + 1e-9);
            char cell[80];
            std::snprintf(cell, sizeof cell, " | %s %.3fs chip %.1f sf2 %.1f", name, t, chipDb, synthDb);
            row += cell;
            if (chipDb < kQuietDb)
                EXPECT_LE(synthDb, kQuietEnoughDb) << kSettings[i].what << " at " << name;
            else
                EXPECT_LE(LevelDifferenceDb(synth, chip), kSettings[i].toleranceDb)
                    << kSettings[i].what << " at " << name;
        }
        std::printf("%s\n", row.c_str());
    }
}

}  // namespace
