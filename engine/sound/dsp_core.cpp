#include "engine/sound/dsp_core.h"

#include <cstring>

#include "engine/sound/dsp_envelope.h"

void DspCore::Start() {
    DspCore fresh;
    std::memcpy(fresh.regs, regs, sizeof regs);
    fresh.ram = ram;
    fresh.observer = observer;
    fresh.out = out;
    fresh.outCapacity = outCapacity;
    for (int i = 0; i < 8; ++i) {
        DspVoice& v = fresh.voices[i];
        v.brrOffset = 1;
        v.mode = EnvelopeMode::kRelease;
        v.bit = static_cast<uint8_t>(1 << i);
        v.index = static_cast<uint8_t>(i);
        v.regBase = static_cast<uint8_t>(i * 0x10);
    }
    fresh.SetRateCounter(0);
    fresh.tDir = regs[dspreg::kDir];
    fresh.tEsa = regs[dspreg::kEsa];
    fresh.tFlgEcho = regs[dspreg::kFlg];
    *this = fresh;
}
