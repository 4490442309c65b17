#include "engine/analysis/tuning.h"

#include <algorithm>
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
// A line this far below the strongest (20 dB) is no partial of the tone.
constexpr double kPartialFloor = 0.01;
// The chosen count must carry this share of the energy it could carry
// beyond chance (1 / k of it): less is noise, or no single tone.
constexpr double kClearTone = 0.15;
// More partials than this in one period is noise, not harmonics.
constexpr size_t kMaxPartials = 64;

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

// The lines of a tone that count: within kPartialFloor of the strongest.
struct Partials {
    explicit Partials(const std::vector<double>& power) : power_(power) {
        for (size_t m = 1; m < power.size(); ++m) floor_ = std::max(floor_, power[m]);
        floor_ *= kPartialFloor;
    }

    bool IsPartial(size_t m) const { return power_[m] >= floor_; }

    size_t Count() const {
        size_t count = 0;
        for (size_t m = 1; m < power_.size(); ++m) count += IsPartial(m);
        return count;
    }

    // Whether the partials at multiples of k hold all but kOctaveShare of
    // the partials' energy: a count that leaves partials out is one
    // partial, not the tone.
    bool Explained(uint32_t k) const {
        double all = 0, onMultiples = 0;
        for (size_t m = 1; m < power_.size(); ++m) {
            if (!IsPartial(m)) continue;
            all += power_[m];
            if (m % k == 0) onMultiples += power_[m];
        }
        return onMultiples >= (1 - kOctaveShare) * all;
    }

private:
    const std::vector<double>& power_;
    double floor_ = 0;
};

// The count whose lines carry the most energy beyond what as many lines
// picked at random would carry (1 / k of it); when other partials lie
// off its lines, the lowest partial among its divisors that explains
// them; then down while a divisor by 2 or 3 explains clearly more.
uint32_t ChoosePeriods(const Partials& partials, const std::vector<double>& share) {
    uint32_t best = 1;
    for (uint32_t k = 2; k < share.size(); ++k)
        if (share[k] - 1.0 / k > share[best] - 1.0 / best) best = k;
    if (!partials.Explained(best)) {
        for (uint32_t d = 1; d < best; ++d) {
            if (best % d == 0 && partials.IsPartial(d) && partials.Explained(d)) {
                best = d;
                break;
            }
        }
    }
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

// Whether the count's lines make a clear tone: beyond chance by
// kClearTone of what they could be; one period per loop is a tone when
// its partials are few enough to be harmonics rather than noise.
bool ClearTone(const Partials& partials, const std::vector<double>& share, uint32_t k) {
    if (k == 1) return partials.Count() <= kMaxPartials;
    return (share[k] - 1.0 / k) / (1 - 1.0 / k) >= kClearTone;
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
    Partials partials(power);
    uint32_t periods = ChoosePeriods(partials, shares);
    if (!ClearTone(partials, shares, periods)) return false;
    Tuning found = TuningOfHz(rate * periods / length);
    if (!InMidiRange(found)) return false;
    tuning = found;
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

bool InMidiRange(const Tuning& tuning) { return tuning.note >= 0 && tuning.note <= 127; }

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
