// A voice's work through the frame: directory, pitch, BRR, interpolation,
// envelope, output and the ENDX/ENVX/OUTX registers. Inline so that a whole
// frame compiles into one function; included by the DSP's schedule only.
#pragma once

#include "engine/sound/dsp_core.h"
#include "engine/sound/dsp_envelope.h"
#include "engine/sound/dsp_tables.h"

namespace dspdetail {

// Clamps to the signed 16-bit range.
inline int32_t Clamp16(int32_t value) {
    if (static_cast<int16_t>(value) != value) value = (value >> 31) ^ 0x7FFF;
    return value;
}

// A little-endian word of audio RAM; the address wraps at 64 KiB.
inline int32_t RamWord(const uint8_t* ram, int32_t address) {
    return ram[address & 0xFFFF] | ram[(address + 1) & 0xFFFF] << 8;
}

}  // namespace dspdetail

// Works out the directory entry of the voice read last (its SRCN was
// latched a voice earlier), then latches this voice's SRCN.
inline void DspCore::V1(DspVoice& v) {
    tDirAddress = tDir * 0x100 + tSrcn * 4;
    tSrcn = regs[v.regBase + dspreg::kSrcn];
}

// Reads the start address while keying on, else the loop address; ADSR1
// and the pitch's low byte.
inline void DspCore::V2(DspVoice& v, VoiceLatch& l) {
    int32_t entry = tDirAddress + (v.keyOnDelay ? 0 : 2);
    l.nextAddress = dspdetail::RamWord(ram, entry);
    l.adsr1 = regs[v.regBase + dspreg::kAdsr1];
    l.pitch = regs[v.regBase + dspreg::kPitchL];
}

inline void DspCore::V3a(DspVoice& v, VoiceLatch& l) { l.pitch += (regs[v.regBase + dspreg::kPitchH] & 0x3F) << 8; }

inline void DspCore::V3b(DspVoice& v, VoiceLatch& l) {
    l.brrByte = ram[(v.brrAddress + v.brrOffset) & 0xFFFF];
    l.brrHeader = ram[v.brrAddress];
}

// Pitch modulation, key-on, the sample as heard, the end of a sample and
// soft reset, KOFF and KON, then the envelope for the next frame.
inline void DspCore::V3c(DspVoice& v, VoiceLatch& l) {
    if (tPmon & v.bit) l.pitch += ((tOutput >> 5) * l.pitch) >> 10;
    if (v.keyOnDelay) {
        if (v.keyOnDelay == 5) {
            v.brrAddress = l.nextAddress;
            v.brrOffset = 1;
            v.decodedPos = 0;
            l.brrHeader = 0;  // not yet read for the new sample
        }
        v.envelope = 0;
        v.hiddenEnvelope = 0;
        // Decoding resumes for the last three frames of the delay, which
        // fill the samples the first output interpolates.
        v.pitchCounter = (--v.keyOnDelay & 3) ? 0x4000 : 0;
        l.pitch = 0;
    }
    if (v.envelope) {
        int32_t sample = (tNon & v.bit) ? static_cast<int16_t>(noise * 2) : Interpolate(v);
        tOutput = ((sample * v.envelope) >> 11) & ~1;
    } else {
        tOutput = 0;
    }
    v.envxOut = v.envelope >> 4;
    if ((regs[dspreg::kFlg] & kFlgReset) || (l.brrHeader & 3) == 1) {
        v.mode = EnvelopeMode::kRelease;
        v.envelope = 0;
    }
    if (everyOther) {
        if (tKoff & v.bit) v.mode = EnvelopeMode::kRelease;
        if (kon & v.bit) {
            v.keyOnDelay = 5;
            v.mode = EnvelopeMode::kAttack;
        }
    }
    if (!v.keyOnDelay) RunEnvelope(v, l.adsr1);
}

// Decodes four samples when the counter has passed them, moves through
// the blocks (an end block jumps to the loop address and marks ENDX), adds
// the pitch, and sends the left output.
inline void DspCore::V4(DspVoice& v, VoiceLatch& l) {
    StepBrr<false>(v, l);
    VoiceOutput(v, 0);
}

// V4's BRR work. LazyLoop: the loop address is read from the directory
// only when an end block needs it (exact when no RAM write came since V2).
template <bool LazyLoop>
inline void DspCore::StepBrr(DspVoice& v, VoiceLatch& l) {
    l.looped = 0;
    if (v.pitchCounter >= 0x4000) {
        DecodeBrr(v, l);
        v.brrOffset += 2;
        if (v.brrOffset >= 9) {
            v.brrAddress = (v.brrAddress + 9) & 0xFFFF;
            if (l.brrHeader & 1) {
                if (LazyLoop) l.nextAddress = dspdetail::RamWord(ram, tDirAddress + 2);
                v.brrAddress = l.nextAddress;
                l.looped = v.bit;
                if (observer) observer->OnVoiceEnd(frameClock, v.index, !(l.brrHeader & 2));
            }
            v.brrOffset = 1;
        }
    }
    v.pitchCounter = (v.pitchCounter & 0x3FFF) + l.pitch;
    if (v.pitchCounter > 0x7FFF) v.pitchCounter = 0x7FFF;
}

inline bool DspCore::Idle(const DspVoice& v) const {
    return v.envelope == 0 && v.mode == EnvelopeMode::kRelease && !v.keyOnDelay && !(everyOther && (kon & v.bit));
}

// V2 to V9 of an idle voice: what is left of them when the envelope is 0
// in release and no key-on comes (silent output, nothing for the
// envelope to do), for a voice whose V1 came just before.
inline void DspCore::IdleVoiceSteps(DspVoice& v) {
    VoiceLatch l;
    l.pitch = regs[v.regBase + dspreg::kPitchL] | (regs[v.regBase + dspreg::kPitchH] & 0x3F) << 8;
    if (tPmon & v.bit) l.pitch += ((tOutput >> 5) * l.pitch) >> 10;
    tOutput = 0;
    v.envxOut = 0;
    if (v.pitchCounter >= 0x4000) {
        l.brrByte = ram[(v.brrAddress + v.brrOffset) & 0xFFFF];
        l.brrHeader = ram[v.brrAddress];
    }
    StepBrr<true>(v, l);
    regs[dspreg::kEndx] = endxBuf = static_cast<uint8_t>(regs[dspreg::kEndx] | l.looped);
    regs[v.regBase + dspreg::kOutx] = outxBuf = 0;
    regs[v.regBase + dspreg::kEnvx] = envxBuf = 0;
}

// The right output and ENDX as it will be written (a voice just keyed
// clears its bit).
inline void DspCore::V5(DspVoice& v, VoiceLatch& l) {
    VoiceOutput(v, 1);
    int32_t endx = regs[dspreg::kEndx] | l.looped;
    if (v.keyOnDelay == 5) endx &= ~v.bit;
    endxBuf = static_cast<uint8_t>(endx);
}

inline void DspCore::V6(DspVoice&) { outxBuf = static_cast<uint8_t>(tOutput >> 8); }

inline void DspCore::V7(DspVoice& v) {
    regs[dspreg::kEndx] = endxBuf;
    envxBuf = static_cast<uint8_t>(v.envxOut);
}

inline void DspCore::V8(DspVoice& v) { regs[v.regBase + dspreg::kOutx] = outxBuf; }

inline void DspCore::V9(DspVoice& v) { regs[v.regBase + dspreg::kEnvx] = envxBuf; }

// Four nibbles from the byte read at V3b and the one after it, through
// the header's range and filter, each stored doubled in 16 bits.
inline void DspCore::DecodeBrr(DspVoice& v, const VoiceLatch& l) {
    int32_t nibbles = l.brrByte << 8 | ram[(v.brrAddress + v.brrOffset + 1) & 0xFFFF];
    int32_t shift = l.brrHeader >> 4;
    int32_t filter = (l.brrHeader >> 2) & 3;
    int32_t pos = v.decodedPos;
    v.decodedPos = pos >= 8 ? 0 : pos + 4;
    for (int32_t end = pos + 4; pos < end; ++pos, nibbles <<= 4) {
        // Sign-extend the top nibble, then scale it by the range.
        int32_t s = static_cast<int16_t>(nibbles) >> 12;
        s = shift <= 12 ? (s * (1 << shift)) >> 1 : (s < 0 ? -2048 : 0);
        int32_t p1 = v.decoded[pos + 11];
        int32_t p2 = v.decoded[pos + 10] >> 1;
        switch (filter) {
        case 1: s += (p1 >> 1) + ((-p1) >> 5); break;
        case 2: s += p1 - p2 + (p2 >> 4) + ((p1 * -3) >> 6); break;
        case 3: s += p1 - p2 + ((p1 * -13) >> 7) + ((p2 * 3) >> 4); break;
        default: break;
        }
        s = static_cast<int16_t>(dspdetail::Clamp16(s) * 2);
        v.decoded[pos] = s;
        v.decoded[pos + 12] = s;
    }
}

// The 4-point weighted sum; the first three products wrap to 16 bits
// before the newest is added, and the result loses its lowest bit.
inline int32_t DspCore::Interpolate(const DspVoice& v) const {
    int32_t weight = (v.pitchCounter >> 4) & 0xFF;
    const int16_t* forward = kDspGaussTable + 255 - weight;
    const int16_t* reverse = kDspGaussTable + weight;
    const int32_t* in = v.decoded + (v.pitchCounter >> 12) + v.decodedPos;
    int32_t out = (forward[0] * in[0]) >> 11;
    out += (forward[256] * in[1]) >> 11;
    out += (reverse[256] * in[2]) >> 11;
    out = static_cast<int16_t>(out);
    out += (reverse[0] * in[3]) >> 11;
    return dspdetail::Clamp16(out) & ~1;
}

// Adds the voice's output times its volume to the mix and the echo input.
inline void DspCore::VoiceOutput(const DspVoice& v, int channel) {
    if (!tOutput) return;  // a silent voice adds nothing, and the sums are in range
    int32_t amp = (tOutput * static_cast<int8_t>(regs[v.regBase + dspreg::kVolL + channel])) >> 7;
    // Summed unmixed too, so that a frame mixed after unmixed ones is whole.
    tMainOut[channel] = dspdetail::Clamp16(tMainOut[channel] + amp);
    if (tEon & v.bit) tEchoOut[channel] = dspdetail::Clamp16(tEchoOut[channel] + amp);
}
