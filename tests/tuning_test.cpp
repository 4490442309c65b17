#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "engine/analysis/tuning.h"
#include "tests/test_support.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Amplitude and phase of harmonic n (from 1) of a waveform.
using Harmonics = std::function<double(int n)>;

// A loop of `length` samples holding `periods` periods of the tone made of
// these harmonics (up to the loop's Nyquist line), at a peak near 12000.
std::vector<int16_t> MakeLoop(uint32_t length, uint32_t periods, const Harmonics& harmonic) {
    std::vector<double> wave(length, 0.0);
    for (int n = 1; 2ull * n * periods < length; ++n) {
        for (uint32_t i = 0; i < length; ++i)
            wave[i] += harmonic(n) * std::sin(2 * kPi * n * periods * i / length + 0.7 * n);
    }
    double peak = 1e-9;
    for (double v : wave) peak = std::max(peak, std::fabs(v));
    std::vector<int16_t> loop(length);
    for (uint32_t i = 0; i < length; ++i) loop[i] = static_cast<int16_t>(std::lround(wave[i] / peak * 12000));
    return loop;
}

TEST(TuningTest, FindsThePeriodsInGeneratedLoops) {
    struct Wave {
        const char* name;
        Harmonics harmonic;
    } waves[] = {
        {"sine", [](int n) { return n == 1 ? 1.0 : 0.0; }},
        {"square", [](int n) { return n % 2 ? 1.0 / n : 0.0; }},
        {"saw", [](int n) { return 1.0 / n; }},
        {"pulse 1/8, weak fundamental", [](int n) { return std::sin(kPi * n / 8) / n * (n == 1 ? 0.1 : 1.0); }},
        {"strong even harmonics", [](int n) { return n % 2 ? 0.3 / n : 1.0 / n; }},
        {"rich, uneven", [](int n) { return (n * 7 % 5 + 1) / (1.0 + 0.2 * n); }},
    };
    struct Loop {
        uint32_t length, periods;  // periods of length / periods samples, whole or not
    } loops[] = {{16, 1}, {64, 1}, {128, 2}, {96, 3}, {512, 7}, {1600, 24}, {4096, 64}, {3520, 11}, {2000, 3},
                 {1072, 5}, {1616, 13}};  // 16 x 67 and 16 x 101: prime factors past the direct sums
    for (const Wave& wave : waves) {
        for (const Loop& loop : loops) {
            SCOPED_TRACE(testing::Message() << wave.name << ", " << loop.periods << " periods in " << loop.length);
            std::vector<int16_t> pcm = MakeLoop(loop.length, loop.periods, wave.harmonic);
            Tuning tuning;
            ASSERT_TRUE(EstimateLoopTuning(pcm.data(), loop.length, 32000, tuning));
            double expected = 32000.0 * loop.periods / loop.length;
            EXPECT_EQ(tuning.periods, loop.periods);
            EXPECT_GT(tuning.harmonicShare, 0.99);
            EXPECT_LT(std::fabs(1200 * std::log2(tuning.hz / expected)), 8.0);
            EXPECT_NEAR(tuning.note + tuning.cents / 100, 69 + 12 * std::log2(expected / 440), 1e-9);
        }
    }
}

TEST(TuningTest, SilenceAndConstantsHaveNoToneAndNoiseAWeakOne) {
    for (int16_t level : {0, 2, -3000}) {
        std::vector<int16_t> loop(64, level);
        Tuning tuning;
        EXPECT_FALSE(EstimateLoopTuning(loop.data(), 64, 32000, tuning)) << level;
    }
    std::mt19937 random(3);
    std::vector<int16_t> noise(1024);
    for (int16_t& value : noise) value = static_cast<int16_t>(random() % 20001) - 10000;
    Tuning tuning;
    ASSERT_TRUE(EstimateLoopTuning(noise.data(), 1024, 32000, tuning));
    EXPECT_LT(tuning.harmonicShare, 0.5);
}

TEST(TuningTest, PitchForTheSmplChunkAndTheSampleHeader) {
    struct Case {
        double hz;
        uint32_t unity;
        double fraction;  // of a semitone
        uint8_t root;
        int8_t correction;
    } cases[] = {
        {440.0, 69, 0.0, 69, 0},
        {450.0, 69, 12 * std::log2(450 / 440.0), 69, -39},
        {455.0, 69, 12 * std::log2(455 / 440.0), 70, 42},
        {261.6255653, 59, 0.9999999, 60, 0},  // middle C, just below 60
        {5.0, 0, 0.0, 0, 0},                  // below the MIDI range
        {20000.0, 127, 0.0, 127, 0},          // above it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hz);
        Tuning tuning = TuningOfHz(c.hz);
        SmplPitch smpl = SmplPitchOf(tuning);
        EXPECT_EQ(smpl.unityNote, c.unity);
        EXPECT_NEAR(smpl.pitchFraction / 4294967296.0, c.fraction, 1e-6);
        KeyPitch key = KeyPitchOf(tuning);
        EXPECT_EQ(key.rootKey, c.root);
        EXPECT_EQ(key.correction, c.correction);
    }
}

}  // namespace
