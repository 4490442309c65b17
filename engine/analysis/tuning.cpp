#include "engine/analysis/tuning.h"

#include <cmath>
#include <vector>

#include "engine/analysis/power_spectrum.h"

namespace {

// Loops longer than this are not analysed: the transform's time and
// memory grow with the length (a directory may name 256 of them). One pass
// over all of audio RAM is under 2^17 samples, so only loops that repeat
// after several passes of very long samples (over 8 s at 32000 Hz) go
// untuned.
constexpr uint32_t kMaxAnalysedLoop = 1u << 18;
// A divisor of the chosen count takes over when the lines it adds carry
// this share of the energy: the tone then has odd (or non-multiple-of-3)
// harmonics that the chosen count would skip, so it is an octave (or a
// twelfth) too high.
constexpr double kOctaveShare = 0.1;
// Below this energy per sample the loop has no tone (a few least
// significant bits of noise).
constexpr double kSilentPower = 4.0;

// Share of the energy in lines that are multiples of k, for every k.
std::vector<double> HarmonicShares(const std::vector<double>& power, double total) {
    size_t lines = power.size() - 1;
    std::vector<double> share(lines + 1, 0.0);
    for (size_t k = 1; k <= lines; ++k) {
        double sum = 0;
        for (size_t m = k; m <= lines; m += k) sum += power[m];
        share[k] = sum / total;
    }
    return share;
}

// The count whose lines carry the most energy beyond what as many lines
// picked at random would carry (1 / k of it), then moved down while a
// divisor by 2 or 3 explains clearly more.
uint32_t ChoosePeriods(const std::vector<double>& share) {
    uint32_t best = 1;
    for (uint32_t k = 2; k < share.size(); ++k)
        if (share[k] - 1.0 / k > share[best] - 1.0 / best) best = k;
    for (bool moved = true; moved;) {
        moved = false;
        for (uint32_t p : {2u, 3u}) {
            if (best % p == 0 && share[best / p] - share[best] > kOctaveShare) {
                best /= p;
                moved = true;
                break;
            }
        }
    }
    return best;
}

}  // namespace

bool EstimateLoopTuning(const int16_t* loop, uint32_t length, double rate, Tuning& tuning) {
    if (length < 2 || length > kMaxAnalysedLoop || rate <= 0) return false;
    std::vector<double> power = PowerSpectrum(loop, length);
    double total = 0;
    for (size_t m = 1; m < power.size(); ++m) total += power[m];
    // Parseval: the power of the lines is length times the energy per sample.
    if (total < kSilentPower * length * length) return false;
    std::vector<double> shares = HarmonicShares(power, total);
    uint32_t periods = ChoosePeriods(shares);
    tuning = TuningOfHz(rate * periods / length);
    tuning.periods = periods;
    tuning.harmonicShare = shares[periods];
    return true;
}

Tuning TuningOfHz(double hz) {
    Tuning tuning;
    tuning.hz = hz;
    tuning.midi = 69.0 + 12.0 * std::log2(hz / 440.0);
    tuning.note = static_cast<int>(std::lround(tuning.midi));
    tuning.cents = (tuning.midi - tuning.note) * 100.0;
    return tuning;
}

SmplPitch SmplPitchOf(const Tuning& tuning) {
    SmplPitch pitch;
    if (tuning.midi < 0) return {0, 0};
    if (tuning.midi >= 128) return {127, 0};
    double unity = std::floor(tuning.midi);
    pitch.unityNote = static_cast<uint32_t>(unity);
    double fraction = std::ldexp(tuning.midi - unity, 32);
    pitch.pitchFraction = fraction >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(fraction);
    return pitch;
}

KeyPitch KeyPitchOf(const Tuning& tuning) {
    if (tuning.note < 0) return {0, 0};
    if (tuning.note > 127) return {127, 0};
    KeyPitch pitch;
    pitch.rootKey = static_cast<uint8_t>(tuning.note);
    pitch.correction = static_cast<int8_t>(-std::lround(tuning.cents));
    return pitch;
}
