#include "engine/song/volume_envelope.h"

#include <algorithm>
#include <cmath>

#include "engine/song/envelope_shape.h"
#include "engine/song/simplex_search.h"

namespace {

enum Generator : uint16_t { kAttack = 34, kHold = 35, kDecay = 36, kSustain = 37, kRelease = 38 };
constexpr double kRangeDb = 96;
constexpr double kShortest = 0.001;  // -12000 timecents
constexpr int kGridPoints = 600;
// The chip's release, 8 a frame from full, ends where a decibel-linear
// release reaches the silence level.
constexpr double kChipReleaseSeconds = 256 / kFrameRate;

double Db(double level) { return level > 0 ? 20 * std::log10(level) : -1e9; }

int16_t Timecents(double seconds, int16_t highest) {
    double cents = std::round(1200 * std::log2(std::max(seconds, kShortest)));
    return static_cast<int16_t>(std::clamp(cents, -12000.0, static_cast<double>(highest)));
}

double SecondsOf(int16_t timecents) { return std::exp2(timecents / 1200.0); }

// The envelope as written: times through timecents, sustain through centibels.
VolumeEnvelope AsWritten(const VolumeEnvelope& e) {
    VolumeEnvelope w;
    w.attack = SecondsOf(Timecents(e.attack, 8000));
    w.hold = SecondsOf(Timecents(e.hold, 5000));
    w.decay = SecondsOf(Timecents(e.decay, 8000));
    w.sustainDb = std::round(std::clamp(e.sustainDb, 0.0, kRangeDb) / kRangeDb * 1000) * kRangeDb / 1000;
    w.release = SecondsOf(Timecents(e.release, 8000));
    return w;
}

// The chip's attack as the SoundFont's: a linear rise. The bent rise
// (+32 to $600, then +8) keeps its first slope, reaching full after 64
// firings instead of 112; it is then never more than 2 dB above the chip.
double AttackOf(EnvelopeSetting setting, const EnvelopeShape& shape) {
    if (shape.mode == EnvelopeMode::GainBentUp && shape.attack)
        return 64 * RatePeriod(setting.gain & 0x1F) / kFrameRate;
    return shape.attack.value_or(0);
}

// How long the chip's envelope keeps changing, plus a margin: the span to fit.
double SpanOf(const EnvelopeShape& shape) {
    double busy = shape.attack.value_or(0) + shape.decay.value_or(0) + shape.sustainDecay.value_or(0);
    return std::clamp(busy + 0.5, 2.5, 30.0);
}

}  // namespace

double VolumeEnvelopeLevel(const VolumeEnvelope& e, double t) {
    if (t < e.attack) return t / e.attack;
    double falling = t - e.attack - e.hold;
    if (falling <= 0) return 1;
    double db = std::min(kRangeDb * falling / e.decay, e.sustainDb);
    return db >= kRangeDb ? 0 : std::pow(10, -db / 20);
}

std::vector<double> ChipEnvelopeLevels(EnvelopeSetting setting, const std::vector<double>& times) {
    EnvelopeMode mode = EnvelopeModeOf(setting);
    bool fromFull = mode == EnvelopeMode::GainLinearDown || mode == EnvelopeMode::GainExpDown;
    uint32_t frames = times.empty() ? 0 : static_cast<uint32_t>(std::ceil(times.back() * kFrameRate)) + 1;
    std::vector<float> levels(frames);
    RenderChipEnvelope(setting, fromFull ? kEnvelopeFull : 0, 0, frames, levels.data());
    std::vector<double> sampled;
    for (double t : times) {
        size_t frame = static_cast<size_t>(t * kFrameRate);
        sampled.push_back(frame == 0 ? (fromFull ? 1.0 : 0.0) : levels[frame - 1]);
    }
    return sampled;
}

double LevelDifferenceDb(double a, double b) {
    return std::fabs(std::max(Db(a), kSilenceDb) - std::max(Db(b), kSilenceDb));
}

VolumeEnvelope VolumeEnvelopeOf(EnvelopeSetting setting) {
    EnvelopeShape shape = DescribeEnvelope(setting);
    VolumeEnvelope base;
    base.attack = AttackOf(setting, shape);
    base.release = kChipReleaseSeconds * kRangeDb / -kSilenceDb;
    std::vector<double> times;
    double span = SpanOf(shape);
    for (int i = 1; i <= kGridPoints; ++i) times.push_back(span * i / kGridPoints);
    // The level the note settles at, where the decay ends, is what a
    // listener notices most: it counts as much as a quarter of the span.
    double settled = shape.attack.value_or(0) + shape.decay.value_or(0);
    double landmark = std::max(settled, 0.004);
    double landmarkWeight = shape.mode == EnvelopeMode::Adsr && settled < span ? kGridPoints / 4.0 : 0;
    double landmarkChip = ChipEnvelopeLevels(setting, {landmark})[0];
    std::vector<double> chip = ChipEnvelopeLevels(setting, times);
    // Variables: square root of the hold, log of the fall in dB/s, floor / 10 dB.
    auto envelopeAt = [&](const std::vector<double>& x) {
        VolumeEnvelope e = base;
        e.hold = x[0] * x[0];
        e.decay = kRangeDb / std::exp(std::clamp(x[1], -8.0, 12.0));
        e.sustainDb = std::clamp(x[2] * 10, 0.0, kRangeDb);
        return AsWritten(e);
    };
    // The square difference in dB, weighted by the louder level: a miss
    // is heard in proportion to how loud the note still is.
    auto cost = [&](const std::vector<double>& x) {
        VolumeEnvelope e = envelopeAt(x);
        double sum = 0, weights = 1e-9;
        for (size_t i = 0; i < times.size(); ++i) {
            double level = VolumeEnvelopeLevel(e, times[i]);
            double d = LevelDifferenceDb(level, chip[i]);
            double weight = std::max(level, chip[i]);
            sum += weight * d * d;
            weights += weight;
        }
        double level = VolumeEnvelopeLevel(e, landmark);
        double weight = landmarkWeight * std::max(level, landmarkChip);
        double d = LevelDifferenceDb(level, landmarkChip);
        return (sum + weight * d * d) / (weights + weight);
    };
    // Starts: falls from slow to fast, with and without a hold.
    double endDb = std::min(-Db(chip.back()), kRangeDb);
    double busy = std::max(span - 0.5 - base.attack, 0.01);
    std::vector<double> best;
    double bestCost = 1e18;
    for (double hold : {0.0, std::sqrt(busy / 4)}) {
        for (double slope : {1.0, 4.0, 16.0}) {
            double dbPerSecond = slope * std::max(endDb, 1.0) / busy;
            std::vector<double> x = SimplexMinimum(cost, {hold, std::log(dbPerSecond), endDb / 10}, 0.3, 400);
            double c = cost(x);
            if (c < bestCost) bestCost = c, best = x;
        }
    }
    return envelopeAt(best);
}

std::vector<SoundFontGenerator> VolumeEnvelopeGenerators(const VolumeEnvelope& e) {
    int16_t sustain = static_cast<int16_t>(std::round(std::clamp(e.sustainDb, 0.0, kRangeDb) / kRangeDb * 1000));
    return {{kAttack, Timecents(e.attack, 8000)},
            {kHold, Timecents(e.hold, 5000)},
            {kDecay, Timecents(e.decay, 8000)},
            {kSustain, sustain},
            {kRelease, Timecents(e.release, 8000)}};
}
