// The envelope: ADSR, GAIN and release on the global rate counter.
// Inline for the frame's one function; included by dsp_voice.h only.
#pragma once

#include "engine/sound/dsp_core.h"
#include "engine/sound/dsp_tables.h"

inline void DspCore::SetRateCounter(int32_t value) {
    counter = value;
    firing = DspRatesFiring()[counter];
}

inline void DspCore::StepRateCounter() {
    if (--counter < 0) counter = kDspCounterRange - 1;
    firing = DspRatesFiring()[counter];
}

// Computes the next envelope every frame (the mode moves on whether or not
// the rate fires) and keeps it only when the rate fires; release needs no
// rate. ADSR1 was latched at V2, ADSR2 and GAIN are read now.
inline void DspCore::RunEnvelope(DspVoice& v, uint8_t adsr1) {
    int32_t env = v.envelope;
    if (v.mode == EnvelopeMode::kRelease) {
        env -= 8;
        v.envelope = env < 0 ? 0 : env;
        return;
    }
    int32_t rate;
    int32_t setting = regs[v.regBase + dspreg::kAdsr2];
    if (adsr1 & 0x80) {
        if (v.mode >= EnvelopeMode::kDecay) {
            env -= 1;
            env -= env >> 8;
            rate = setting & 0x1F;
            if (v.mode == EnvelopeMode::kDecay) rate = ((adsr1 >> 3) & 0x0E) + 0x10;
        } else {
            rate = (adsr1 & 0x0F) * 2 + 1;
            env += rate < 31 ? 0x20 : 0x400;
        }
    } else {
        setting = regs[v.regBase + dspreg::kGain];
        int32_t gainMode = setting >> 5;
        if (gainMode < 4) {
            // Direct: the value itself, at once.
            env = setting * 0x10;
            rate = 31;
        } else {
            rate = setting & 0x1F;
            if (gainMode == 4) {
                env -= 0x20;
            } else if (gainMode == 5) {
                env -= 1;
                env -= env >> 8;
            } else {
                env += 0x20;
                // Bent line: slower once the last computed value passed $600.
                if (gainMode == 7 && static_cast<uint32_t>(v.hiddenEnvelope) >= 0x600) env += 0x8 - 0x20;
            }
        }
    }
    // Decay ends at the sustain level (GAIN's top bits stand in for it in GAIN mode).
    if ((env >> 8) == (setting >> 5) && v.mode == EnvelopeMode::kDecay) v.mode = EnvelopeMode::kSustain;
    v.hiddenEnvelope = env;
    // Out of range either way; a linear decrease below 0 lands here too.
    if (static_cast<uint32_t>(env) > 0x7FF) {
        env = env < 0 ? 0 : 0x7FF;
        if (v.mode == EnvelopeMode::kAttack) v.mode = EnvelopeMode::kDecay;
    }
    if (RateFires(rate)) v.envelope = env;
}
