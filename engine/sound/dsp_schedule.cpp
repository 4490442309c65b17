// The order of the DSP's work in its 32-clock frame: each voice's steps
// are spread over the frame and overlap the next voices', the echo and the
// global work fill the end. The order is the chip's; the shared latched
// values depend on it.
#include "engine/sound/dsp_echo.h"

#include <array>
#include <utility>

template <>
inline void DspCore::Step<0>() {
    V5(voices[0], latch); V2(voices[1], latch);
}

template <>
inline void DspCore::Step<1>() {
    V6(voices[0]); V3(voices[1], latch);
}

template <>
inline void DspCore::Step<2>() {
    V7(voices[0]); V4(voices[1], latch); V1(voices[3]);
}

template <>
inline void DspCore::Step<3>() {
    V8(voices[0]); V5(voices[1], latch); V2(voices[2], latch);
}

template <>
inline void DspCore::Step<4>() {
    V9(voices[0]); V6(voices[1]); V3(voices[2], latch);
}

template <>
inline void DspCore::Step<5>() {
    V7(voices[1]); V4(voices[2], latch); V1(voices[4]);
}

template <>
inline void DspCore::Step<6>() {
    V8(voices[1]); V5(voices[2], latch); V2(voices[3], latch);
}

template <>
inline void DspCore::Step<7>() {
    V9(voices[1]); V6(voices[2]); V3(voices[3], latch);
}

template <>
inline void DspCore::Step<8>() {
    V7(voices[2]); V4(voices[3], latch); V1(voices[5]);
}

template <>
inline void DspCore::Step<9>() {
    V8(voices[2]); V5(voices[3], latch); V2(voices[4], latch);
}

template <>
inline void DspCore::Step<10>() {
    V9(voices[2]); V6(voices[3]); V3(voices[4], latch);
}

template <>
inline void DspCore::Step<11>() {
    V7(voices[3]); V4(voices[4], latch); V1(voices[6]);
}

template <>
inline void DspCore::Step<12>() {
    V8(voices[3]); V5(voices[4], latch); V2(voices[5], latch);
}

template <>
inline void DspCore::Step<13>() {
    V9(voices[3]); V6(voices[4]); V3(voices[5], latch);
}

template <>
inline void DspCore::Step<14>() {
    V7(voices[4]); V4(voices[5], latch); V1(voices[7]);
}

template <>
inline void DspCore::Step<15>() {
    V8(voices[4]); V5(voices[5], latch); V2(voices[6], latch);
}

template <>
inline void DspCore::Step<16>() {
    V9(voices[4]); V6(voices[5]); V3(voices[6], latch);
}

template <>
inline void DspCore::Step<17>() {
    V1(voices[0]); V7(voices[5]); V4(voices[6], latch);
}

template <>
inline void DspCore::Step<18>() {
    V8(voices[5]); V5(voices[6], latch); V2(voices[7], latch);
}

template <>
inline void DspCore::Step<19>() {
    V9(voices[5]); V6(voices[6]); V3(voices[7], latch);
}

template <>
inline void DspCore::Step<20>() {
    V1(voices[1]); V7(voices[6]); V4(voices[7], latch);
}

template <>
inline void DspCore::Step<21>() {
    V8(voices[6]); V5(voices[7], latch); V2(voices[0], latch);
}

template <>
inline void DspCore::Step<22>() {
    V3a(voices[0], latch); V9(voices[6]); V6(voices[7]); Echo22();
}

template <>
inline void DspCore::Step<23>() {
    V7(voices[7]); Echo23();
}

template <>
inline void DspCore::Step<24>() {
    V8(voices[7]); Echo24();
}

template <>
inline void DspCore::Step<25>() {
    V3b(voices[0], latch); V9(voices[7]); Echo25();
}

template <>
inline void DspCore::Step<26>() {
    Echo26();
}

template <>
inline void DspCore::Step<27>() {
    Misc27(); Echo27();
}

template <>
inline void DspCore::Step<28>() {
    Misc28(); Echo28();
}

template <>
inline void DspCore::Step<29>() {
    Misc29(); Echo29();
}

template <>
inline void DspCore::Step<30>() {
    Misc30(); V3c(voices[0], latch); Echo30();
}

template <>
inline void DspCore::Step<31>() {
    V4(voices[0], latch); V1(voices[2]);
}

namespace {

using StepFn = void (DspCore::*)();

// The steps by clock, for running part of a frame.
template <int... C>
constexpr std::array<StepFn, 32> MakeStepTable(std::integer_sequence<int, C...>) {
    return {&DspCore::Step<C>...};
}

constexpr std::array<StepFn, 32> kSteps = MakeStepTable(std::make_integer_sequence<int, 32>());

template <int... C>
inline void RunAll(DspCore& core, std::integer_sequence<int, C...>) {
    (core.Step<C>(), ...);
}

}  // namespace

// The same steps as clocks 0..31 in turn, regrouped so that each voice's
// work runs together: a voice's latched values live from its V2 to its V9
// and no other voice's steps in between read or write them; the ENDX
// register and the mix are passed on in voice order as on the chip; V1's
// directory latch keeps its place before each V2. Voice 0 straddles the
// echo and global steps and keeps its clocks there.
void DspCore::Frame() {
    V5(voices[0], latch);
    V6(voices[0]);
    V7(voices[0]);
    V8(voices[0]);
    V9(voices[0]);
    // Voices 1-7 keep their latched values in a local.
    for (int i = 1; i < 8; ++i) {
        if (i > 1) V1(voices[(i + 1) & 7]);
        if (Idle(voices[i])) {
            IdleVoiceSteps(voices[i]);
        } else {
            VoiceLatch local;
            VoiceSteps(voices[i], local);
        }
    }
    V1(voices[1]);
    V2(voices[0], latch);
    V3a(voices[0], latch);
    // No register changes within the frame: whether the FIR's output will be
    // heard or written is known now.
    bool fir = (out && (regs[dspreg::kEvolL] | regs[dspreg::kEvolR])) || !(regs[dspreg::kFlg] & kFlgEchoWriteOff);
    Echo22(fir);
    Echo23(fir);
    Echo24(fir);
    V3b(voices[0], latch);
    Echo25(fir);
    Echo26();
    Misc27();
    Echo27();
    Misc28();
    Echo28();
    Misc29();
    Echo29();
    Misc30();
    V3c(voices[0], latch);
    Echo30();
    V4(voices[0], latch);
    V1(voices[2]);
}

void DspCore::FrameByClocks() { RunAll(*this, std::make_integer_sequence<int, 32>()); }

void DspCore::Clock(int clock) { (this->*kSteps[clock])(); }
