// The echo (delay line in audio RAM, 8-tap FIR, feedback), the final mix
// and the once-a-frame global work: KON/KOFF, the rate counter and noise.
// Inline for the frame's one function; included by the DSP's schedule only.
#pragma once

#include "engine/sound/dsp_core.h"
#include "engine/sound/dsp_voice.h"

// Tap 0 weighs the oldest of the eight samples, tap 7 the newest.
inline int32_t DspCore::Fir(int tap, int channel) const {
    return (echoHist[echoHistPos + tap + 1][channel] * static_cast<int8_t>(regs[dspreg::kFir + tap * 0x10])) >> 6;
}

// Reads one channel of the echo sample into the FIR history, in 15 bits.
inline void DspCore::EchoRead(int channel) {
    int32_t s = static_cast<int16_t>(dspdetail::RamWord(ram, tEchoPtr + channel * 2));
    echoHist[echoHistPos][channel] = s >> 1;
    echoHist[echoHistPos + 8][channel] = s >> 1;
}

// Writes one channel of the echo input to RAM unless FLG forbids it; the
// input starts again from 0 either way.
inline void DspCore::EchoWrite(int channel) {
    if (!(tFlgEcho & kFlgEchoWriteOff)) {
        int32_t address = tEchoPtr + channel * 2;
        ram[address & 0xFFFF] = static_cast<uint8_t>(tEchoOut[channel]);
        ram[(address + 1) & 0xFFFF] = static_cast<uint8_t>(tEchoOut[channel] >> 8);
    }
    tEchoOut[channel] = 0;
}

// Main volume times the voices' mix plus echo volume times the FIR output.
inline int32_t DspCore::EchoOutput(int channel) const {
    int32_t main = static_cast<int16_t>((tMainOut[channel] * static_cast<int8_t>(regs[dspreg::kMvolL + channel * 0x10])) >> 7);
    int32_t echo = static_cast<int16_t>((tEchoIn[channel] * static_cast<int8_t>(regs[dspreg::kEvolL + channel * 0x10])) >> 7);
    return dspdetail::Clamp16(main + echo);
}

inline void DspCore::Echo22(bool fir) {
    echoHistPos = (echoHistPos + 1) & 7;
    tEchoPtr = (tEsa * 0x100 + echoOffset) & 0xFFFF;
    EchoRead(0);
    if (!fir) return;
    tEchoIn[0] = Fir(0, 0);
    tEchoIn[1] = Fir(0, 1);
}

inline void DspCore::Echo23(bool fir) {
    if (fir) {
        tEchoIn[0] += Fir(1, 0) + Fir(2, 0);
        tEchoIn[1] += Fir(1, 1) + Fir(2, 1);
    }
    EchoRead(1);
}

inline void DspCore::Echo24(bool fir) {
    if (!fir) return;
    tEchoIn[0] += Fir(3, 0) + Fir(4, 0) + Fir(5, 0);
    tEchoIn[1] += Fir(3, 1) + Fir(4, 1) + Fir(5, 1);
}

// The last two taps: the sum so far wraps to 16 bits, the newest tap is
// added after, and the result is clamped with its lowest bit cleared.
inline void DspCore::Echo25(bool fir) {
    if (!fir) {
        tEchoIn[0] = tEchoIn[1] = 0;
        return;
    }
    for (int ch = 0; ch < 2; ++ch) {
        int32_t sum = static_cast<int16_t>(tEchoIn[ch] + Fir(6, ch));
        sum += static_cast<int16_t>(Fir(7, ch));
        tEchoIn[ch] = dspdetail::Clamp16(sum) & ~1;
    }
}

// The left output, and the feedback added to what the voices sent to the echo.
inline void DspCore::Echo26() {
    if (out) tMainLeft = EchoOutput(0);
    for (int ch = 0; ch < 2; ++ch) {
        int32_t fed = tEchoOut[ch] + static_cast<int16_t>((tEchoIn[ch] * static_cast<int8_t>(regs[dspreg::kEfb])) >> 7);
        tEchoOut[ch] = dspdetail::Clamp16(fed) & ~1;
    }
}

// The right output; the finished frame goes out (silent when muted).
inline void DspCore::Echo27() {
    int32_t left = tMainLeft;
    int32_t right = out ? EchoOutput(1) : 0;
    tMainOut[0] = 0;
    tMainOut[1] = 0;
    if (!out) return;
    if (regs[dspreg::kFlg] & kFlgMute) left = right = 0;
    if (outWritten < outCapacity) {
        out[outWritten * 2] = static_cast<int16_t>(left);
        out[outWritten * 2 + 1] = static_cast<int16_t>(right);
        ++outWritten;
    }
}

inline void DspCore::Echo28() { tFlgEcho = regs[dspreg::kFlg]; }

// Moves through the echo region (its length is taken when the position is
// back at 0) and writes the left sample.
inline void DspCore::Echo29() {
    tEsa = regs[dspreg::kEsa];
    if (!echoOffset) echoLength = (regs[dspreg::kEdl] & 0x0F) * 0x800;
    echoOffset += 4;
    if (echoOffset >= echoLength) echoOffset = 0;
    EchoWrite(0);
    tFlgEcho = regs[dspreg::kFlg];
}

inline void DspCore::Echo30() { EchoWrite(1); }

// Voice 0 has no voice below it to modulate its pitch.
inline void DspCore::Misc27() { tPmon = regs[dspreg::kPmon] & 0xFE; }

inline void DspCore::Misc28() {
    tNon = regs[dspreg::kNon];
    tEon = regs[dspreg::kEon];
    tDir = regs[dspreg::kDir];
}

// Every other frame, the KON bits taken two frames ago are forgotten.
inline void DspCore::Misc29() {
    everyOther = !everyOther;
    if (everyOther) newKon &= static_cast<uint8_t>(~kon);
}

// Every other frame KON and KOFF are taken; the rate counter steps down,
// and the noise register shifts when its rate fires.
inline void DspCore::Misc30() {
    if (everyOther) {
        kon = newKon;
        tKoff = regs[dspreg::kKoff];
    }
    StepRateCounter();
    if (RateFires(regs[dspreg::kFlg] & 0x1F)) {
        int32_t feedback = (noise << 13) ^ (noise << 14);
        noise = (feedback & 0x4000) ^ (noise >> 1);
    }
}
