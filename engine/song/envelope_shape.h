// A voice's envelope setting as a person reads it: its mode and the times
// of its phases in seconds, counted by stepping the chip's own rules.
#pragma once

#include <optional>

#include "engine/song/chip_envelope.h"

enum class EnvelopeMode { Adsr, GainDirect, GainLinearDown, GainExpDown, GainLinearUp, GainBentUp };

// "adsr", "gain-direct", "gain-linear-down", ...
const char* EnvelopeModeName(EnvelopeMode mode);
// The mode the chip uses for this setting.
EnvelopeMode EnvelopeModeOf(EnvelopeSetting setting);

// Times are firings × the rate's period: the first firing may come up to
// one period sooner, depending on the global counter at key-on.
struct EnvelopeShape {
    EnvelopeMode mode = EnvelopeMode::Adsr;
    std::optional<double> attack;        // 0 to full (ADSR: to the start of decay)
    std::optional<double> decay;         // ADSR: full to the sustain level; GAIN down: full to silence
    std::optional<double> sustainLevel;  // 0..1 of full, where the level settles or decay ends
    std::optional<double> sustainDecay;  // ADSR: sustain level to silence while the key is held
    std::optional<double> release;       // full to silence after key-off
};

// The phases of a setting; empty where a phase does not apply or never ends.
EnvelopeShape DescribeEnvelope(EnvelopeSetting setting);
