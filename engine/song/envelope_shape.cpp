#include "engine/song/envelope_shape.h"

namespace {

// Enough firings for any phase to end: the slowest, an exponential fall
// from full, takes under 800.
constexpr int kMaxFirings = 4096;

// Fires the envelope's current rate until done(envelope) holds; the time
// that took, or nothing when the rate never fires.
template <typename Done>
std::optional<double> TimeUntil(ChipEnvelope& envelope, Done done) {
    envelope.Frame(false);  // a frame between firings, where the phase may move on
    int rate = envelope.Rate();
    int firings = 0;
    while (!done(envelope)) {
        if (rate == 0 || firings == kMaxFirings) return std::nullopt;
        envelope.Firing();
        ++firings;
    }
    return firings * static_cast<double>(RatePeriod(rate)) / kFrameRate;
}

double LevelOf(const ChipEnvelope& envelope) { return static_cast<double>(envelope.Level()) / kEnvelopeFull; }

bool Silent(const ChipEnvelope& e) { return e.Level() == 0; }

// Release takes 8 a frame: 256 frames from full.
std::optional<double> ReleaseTime() {
    ChipEnvelope envelope(EnvelopeSetting{}, kEnvelopeFull);
    envelope.Release();
    int frames = 0;
    for (; envelope.Level() > 0; ++frames) envelope.Frame(true);
    return frames / kFrameRate;
}

EnvelopeShape DescribeAdsr(EnvelopeSetting setting) {
    EnvelopeShape shape;
    ChipEnvelope envelope(setting);
    shape.attack = TimeUntil(envelope, [](const ChipEnvelope& e) { return e.Phase() != EnvelopePhase::Attack; });
    shape.decay = TimeUntil(envelope, [](const ChipEnvelope& e) { return e.Phase() == EnvelopePhase::Sustain; });
    shape.sustainLevel = LevelOf(envelope);
    shape.sustainDecay = TimeUntil(envelope, Silent);
    return shape;
}

// GAIN modes: up from 0 at key-on; down modes from full, as they sound
// when a driver switches to them during a note (from key-on they stay at 0).
EnvelopeShape DescribeGain(EnvelopeSetting setting, EnvelopeMode mode) {
    EnvelopeShape shape;
    if (mode == EnvelopeMode::GainDirect) {
        shape.sustainLevel = (setting.gain & 0x7F) * 16.0 / kEnvelopeFull;
    } else if (mode == EnvelopeMode::GainLinearUp || mode == EnvelopeMode::GainBentUp) {
        ChipEnvelope envelope(setting);
        shape.attack = TimeUntil(envelope, [](const ChipEnvelope& e) { return e.Level() == kEnvelopeFull; });
        shape.sustainLevel = shape.attack ? 1.0 : 0.0;
    } else {
        ChipEnvelope envelope(setting, kEnvelopeFull);
        shape.decay = TimeUntil(envelope, Silent);
        shape.sustainLevel = shape.decay ? 0.0 : 1.0;
    }
    return shape;
}

}  // namespace

const char* EnvelopeModeName(EnvelopeMode mode) {
    switch (mode) {
    case EnvelopeMode::Adsr: return "adsr";
    case EnvelopeMode::GainDirect: return "gain-direct";
    case EnvelopeMode::GainLinearDown: return "gain-linear-down";
    case EnvelopeMode::GainExpDown: return "gain-exp-down";
    case EnvelopeMode::GainLinearUp: return "gain-linear-up";
    default: return "gain-bent-up";
    }
}

EnvelopeMode EnvelopeModeOf(EnvelopeSetting setting) {
    if (setting.adsr1 & 0x80) return EnvelopeMode::Adsr;
    if (!(setting.gain & 0x80)) return EnvelopeMode::GainDirect;
    static constexpr EnvelopeMode kGainModes[4] = {EnvelopeMode::GainLinearDown, EnvelopeMode::GainExpDown,
                                                   EnvelopeMode::GainLinearUp, EnvelopeMode::GainBentUp};
    return kGainModes[(setting.gain >> 5) & 3];
}

EnvelopeShape DescribeEnvelope(EnvelopeSetting setting) {
    EnvelopeMode mode = EnvelopeModeOf(setting);
    EnvelopeShape shape = mode == EnvelopeMode::Adsr ? DescribeAdsr(setting) : DescribeGain(setting, mode);
    shape.mode = mode;
    shape.release = ReleaseTime();
    return shape;
}
