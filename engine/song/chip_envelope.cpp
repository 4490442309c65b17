#include "engine/song/chip_envelope.h"

#include <algorithm>

namespace {

constexpr uint16_t kPeriods[32] = {0,  2048, 1536, 1280, 1024, 768, 640, 512, 384, 320, 256, 192, 160, 128, 96, 80,
                                   64, 48,   40,   32,   24,   20,  16,  12,  10,  8,   6,   5,   4,   3,   2,  1};

// Rate counter offsets: 1, 0, 1040, then 536, 0, 1040 repeating; 0 for 30 and 31.
uint32_t RateOffset(int rate) {
    if (rate == 0) return 1;
    if (rate == 1) return 0;
    if (rate >= 30) return 0;
    static constexpr uint32_t kCycle[3] = {1040, 536, 0};
    return kCycle[(rate - 2) % 3];
}

constexpr int kBentKnee = 0x600;
constexpr int kReleaseStep = 8;

// The exponential decrease of decay, sustain and GAIN mode 1.
int ExponentialStep(int level) { return level - (((level - 1) >> 8) + 1); }

bool UsesAdsr(EnvelopeSetting s) { return (s.adsr1 & 0x80) != 0; }

}  // namespace

bool SameEnvelope(EnvelopeSetting a, EnvelopeSetting b) {
    if (UsesAdsr(a) != UsesAdsr(b)) return false;
    return UsesAdsr(a) ? a.adsr1 == b.adsr1 && a.adsr2 == b.adsr2 : a.gain == b.gain;
}

uint32_t RatePeriod(int rate) { return rate > 0 && rate < 32 ? kPeriods[rate] : 0; }

bool RateFires(int rate, uint32_t counter) {
    uint32_t period = RatePeriod(rate);
    return period != 0 && (counter + RateOffset(rate)) % period == 0;
}

ChipEnvelope::ChipEnvelope(EnvelopeSetting setting, int startLevel)
    : setting_(setting), level_(startLevel), computed_(startLevel) {}

int ChipEnvelope::Rate() const {
    if (phase_ == EnvelopePhase::Release) return 31;
    if (!UsesAdsr(setting_)) return (setting_.gain & 0x80) ? setting_.gain & 0x1F : 31;
    switch (phase_) {
    case EnvelopePhase::Attack: return (setting_.adsr1 & 0x0F) * 2 + 1;
    case EnvelopePhase::Decay: return ((setting_.adsr1 >> 4) & 7) * 2 + 16;
    default: return setting_.adsr2 & 0x1F;
    }
}

int ChipEnvelope::Next() const {
    if (UsesAdsr(setting_))
        return phase_ == EnvelopePhase::Attack ? level_ + (Rate() == 31 ? 1024 : 32) : ExponentialStep(level_);
    if (!(setting_.gain & 0x80)) return (setting_.gain & 0x7F) * 16;
    switch ((setting_.gain >> 5) & 3) {
    case 0: return level_ - 32;
    case 1: return ExponentialStep(level_);
    case 2: return level_ + 32;
    // The bent line slows once the last level worked out reached $600.
    default: return level_ + (computed_ < kBentKnee ? 32 : 8);
    }
}

void ChipEnvelope::Frame(bool fires) {
    if (phase_ == EnvelopePhase::Release) {
        level_ = std::max(level_ - kReleaseStep, 0);
        return;
    }
    int next = Next();
    // Decay gives way to sustain as soon as the next level's top bits are the sustain level.
    if (phase_ == EnvelopePhase::Decay && (next >> 8) == (setting_.adsr2 >> 5)) phase_ = EnvelopePhase::Sustain;
    computed_ = next;
    // Past either end: kept in range, and the attack is over.
    if (next < 0 || next > kEnvelopeFull) {
        next = std::clamp(next, 0, kEnvelopeFull);
        if (phase_ == EnvelopePhase::Attack && UsesAdsr(setting_)) phase_ = EnvelopePhase::Decay;
    }
    if (fires) level_ = next;
}

void ChipEnvelope::Firing() {
    uint32_t period = RatePeriod(Rate());
    Frame(true);
    if (period > 1) Frame(false);
}

void RenderChipEnvelope(EnvelopeSetting setting, int startLevel, uint32_t counter, uint32_t frames, float* out) {
    ChipEnvelope envelope(setting, startLevel);
    for (uint32_t i = 0; i < frames; ++i) {
        envelope.Frame(counter);
        counter = counter == 0 ? kRateCounterValues - 1 : counter - 1;  // the chip counts down
        out[i] = static_cast<float>(envelope.Level()) / kEnvelopeFull;
    }
}
