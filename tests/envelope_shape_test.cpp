#include <gtest/gtest.h>


#include "engine/song/envelope_shape.h"

namespace {

// Seconds of n firings of a rate of this period (frames).
double Firings(int n, int period) { return n * period / 32000.0; }

struct ShapeCase {
    const char* what;
    EnvelopeSetting setting;
    const char* mode;
    double attack, decay, sustainLevel, sustainDecay;  // -1: null
};

// Expected figures counted by hand from the chip's rules: the attack adds
// 32 per firing from 0 to $7E0 (63 firings) or 1024 at rate 31 (2); decay
// ends as soon as the next level's top bits are SL (from $7E0 by 8s: 28
// firings to 1792 for SL 6); the bent line slows once the level worked out
// reaches $600 (47 firings of 32 to 1504, then 68 of 8).
const ShapeCase kShapes[] = {
    {"A0 D0 SL7 SR0: held near full", {0x80, 0xE0, 0}, "adsr", Firings(63, 2048), 0, 2016 / 2047.0, -1},
    {"A15 is two frames", {0x8F, 0xE0, 0}, "adsr", Firings(2, 1), 0, 1.0, -1},
    {"A10 D7 SL6: one band", {0xFA, 0xC0, 0}, "adsr", Firings(63, 20), Firings(28, 2), 1792 / 2047.0, -1},
    {"GAIN direct $4F", {0x00, 0x00, 0x4F}, "gain-direct", -1, -1, 1264 / 2047.0, -1},
    {"GAIN linear up rate 31", {0x00, 0x00, 0xDF}, "gain-linear-up", Firings(64, 1), -1, 1, -1},
    {"GAIN bent up rate 10", {0x00, 0x00, 0xEA}, "gain-bent-up", Firings(47 + 68, 256), -1, 1, -1},
    {"GAIN linear down rate 20", {0x00, 0x00, 0x94}, "gain-linear-down", -1, Firings(64, 24), 0, -1},
    {"GAIN up, rate 0 never moves", {0x00, 0x00, 0xC0}, "gain-linear-up", -1, -1, 0, -1},
};

void ExpectField(const std::optional<double>& got, double expected, const char* field) {
    if (expected < 0) {
        EXPECT_FALSE(got.has_value()) << field;
    } else {
        ASSERT_TRUE(got.has_value()) << field;
        EXPECT_NEAR(*got, expected, 1e-9) << field;
    }
}

TEST(EnvelopeShapeTest, PhasesCountedFromTheChipRules) {
    for (const ShapeCase& c : kShapes) {
        SCOPED_TRACE(c.what);
        EnvelopeShape shape = DescribeEnvelope(c.setting);
        EXPECT_STREQ(EnvelopeModeName(shape.mode), c.mode);
        ExpectField(shape.attack, c.attack, "attack");
        ExpectField(shape.decay, c.decay, "decay");
        ExpectField(shape.sustainLevel, c.sustainLevel, "sustainLevel");
        ExpectField(shape.sustainDecay, c.sustainDecay, "sustainDecay");
        ExpectField(shape.release, 256 / 32000.0, "release");
    }
}

// The exponential fall: from $7E0 to SL 0 crosses bands 7..1, each of 256
// levels at (band + 1) a firing; then sustain from 255 takes 255 firings.
TEST(EnvelopeShapeTest, ExponentialPhasesMatchTheBandCount) {
    EnvelopeShape shape = DescribeEnvelope({0x8F, 0x1F, 0});  // A15 D0 SL0 SR31
    ASSERT_TRUE(shape.decay && shape.sustainDecay);
    double bands = 0;
    for (int band = 7; band >= 1; --band) bands += 256.0 / (band + 1);
    EXPECT_NEAR(*shape.decay / Firings(1, 64), bands, 8);  // rounding at band edges
    EXPECT_NEAR(*shape.sustainDecay, Firings(255, 1), Firings(8, 1));
    // The figures people quote for the slowest settings: attack 0 about 4.1 s,
    // sustain rate 1 about 38 s (to a quiet level), within a period or so.
    EXPECT_NEAR(*DescribeEnvelope({0x80, 0, 0}).attack, 4.1, 0.07);
    EXPECT_GT(*DescribeEnvelope({0x8F, 0xE1, 0}).sustainDecay, 38);
}

}  // namespace
