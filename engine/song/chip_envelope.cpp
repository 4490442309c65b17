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

constexpr int kAttackEnd = 0x7E0;
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

ChipEnvelope::ChipEnvelope(EnvelopeSetting setting, int level) : setting_(setting), level_(level) {}

int ChipEnvelope::Rate() const {
    if (phase_ == EnvelopePhase::Release) return 31;
    if (!UsesAdsr(setting_)) return (setting_.gain & 0x80) ? setting_.gain & 0x1F : 31;
    switch (phase_) {
    case EnvelopePhase::Attack: return (setting_.adsr1 & 0x0F) * 2 + 1;
    case EnvelopePhase::Decay: return ((setting_.adsr1 >> 4) & 7) * 2 + 16;
    default: return setting_.adsr2 & 0x1F;
    }
}

void ChipEnvelope::UpdatePhase() {
    // Decay gives way to sustain once the level's top bits reach the sustain level.
    if (UsesAdsr(setting_) && phase_ == EnvelopePhase::Decay && (level_ >> 8) == (setting_.adsr2 >> 5))
        phase_ = EnvelopePhase::Sustain;
}

void ChipEnvelope::Step() {
    int level = level_;
    if (phase_ == EnvelopePhase::Release) {
        level -= kReleaseStep;
    } else if (UsesAdsr(setting_)) {
        if (phase_ == EnvelopePhase::Attack)
            level += Rate() == 31 ? 1024 : 32;
        else
            level = ExponentialStep(level);
    } else if (!(setting_.gain & 0x80)) {
        level = (setting_.gain & 0x7F) * 16;
    } else {
        switch ((setting_.gain >> 5) & 3) {
        case 0: level -= 32; break;
        case 1: level = ExponentialStep(level); break;
        case 2: level += 32; break;
        default: level += level < kBentKnee ? 32 : 8; break;
        }
    }
    level_ = std::clamp(level, 0, kEnvelopeFull);
    if (phase_ == EnvelopePhase::Attack && UsesAdsr(setting_) && level >= kAttackEnd) phase_ = EnvelopePhase::Decay;
}

void ChipEnvelope::Frame(uint32_t counter) {
    UpdatePhase();
    if (phase_ == EnvelopePhase::Release || RateFires(Rate(), counter)) Step();
}

void RenderChipEnvelope(EnvelopeSetting setting, int startLevel, uint32_t counter, uint32_t frames, float* out) {
    ChipEnvelope envelope(setting, startLevel);
    for (uint32_t i = 0; i < frames; ++i) {
        envelope.Frame(counter);
        counter = (counter + 1) % kRateCounterValues;
        out[i] = static_cast<float>(envelope.Level()) / kEnvelopeFull;
    }
}
