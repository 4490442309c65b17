// The order of the DSP's work in its 32-clock frame: each voice's steps
// are spread over the frame and overlap the next voices', the echo and the
// global work fill the end. The order is the chip's; the shared latched
// values depend on it.
#include "engine/sound/dsp_echo.h"

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


template <int... I>
inline void DspCore::VoicesInTurn(std::integer_sequence<int, I...>) {
    (VoiceInTurn<I>(), ...);
}

template <int I>
inline void DspCore::VoiceInTurn() {
    if (I > 1) V1(voices[(I + 1) & 7]);
    if (Idle(voices[I])) {
        IdleVoiceSteps(voices[I]);
    } else {
        VoiceLatch local;
        VoiceSteps(voices[I], local);
    }
}

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
    // Voices 1-7 keep their latched values in a local; each has its own
    // copy of the code, so that the branches learn each voice's ways.
    VoicesInTurn(std::integer_sequence<int, 1, 2, 3, 4, 5, 6, 7>());
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


// Falls through from the first clock to the last, so that a part of a
// frame runs as straight code.
void DspCore::Clocks(int first, int count) {
    int end = first + count;
    switch (first) {
    case 0: Step<0>(); if (end == 1) return; [[fallthrough]];
    case 1: Step<1>(); if (end == 2) return; [[fallthrough]];
    case 2: Step<2>(); if (end == 3) return; [[fallthrough]];
    case 3: Step<3>(); if (end == 4) return; [[fallthrough]];
    case 4: Step<4>(); if (end == 5) return; [[fallthrough]];
    case 5: Step<5>(); if (end == 6) return; [[fallthrough]];
    case 6: Step<6>(); if (end == 7) return; [[fallthrough]];
    case 7: Step<7>(); if (end == 8) return; [[fallthrough]];
    case 8: Step<8>(); if (end == 9) return; [[fallthrough]];
    case 9: Step<9>(); if (end == 10) return; [[fallthrough]];
    case 10: Step<10>(); if (end == 11) return; [[fallthrough]];
    case 11: Step<11>(); if (end == 12) return; [[fallthrough]];
    case 12: Step<12>(); if (end == 13) return; [[fallthrough]];
    case 13: Step<13>(); if (end == 14) return; [[fallthrough]];
    case 14: Step<14>(); if (end == 15) return; [[fallthrough]];
    case 15: Step<15>(); if (end == 16) return; [[fallthrough]];
    case 16: Step<16>(); if (end == 17) return; [[fallthrough]];
    case 17: Step<17>(); if (end == 18) return; [[fallthrough]];
    case 18: Step<18>(); if (end == 19) return; [[fallthrough]];
    case 19: Step<19>(); if (end == 20) return; [[fallthrough]];
    case 20: Step<20>(); if (end == 21) return; [[fallthrough]];
    case 21: Step<21>(); if (end == 22) return; [[fallthrough]];
    case 22: Step<22>(); if (end == 23) return; [[fallthrough]];
    case 23: Step<23>(); if (end == 24) return; [[fallthrough]];
    case 24: Step<24>(); if (end == 25) return; [[fallthrough]];
    case 25: Step<25>(); if (end == 26) return; [[fallthrough]];
    case 26: Step<26>(); if (end == 27) return; [[fallthrough]];
    case 27: Step<27>(); if (end == 28) return; [[fallthrough]];
    case 28: Step<28>(); if (end == 29) return; [[fallthrough]];
    case 29: Step<29>(); if (end == 30) return; [[fallthrough]];
    case 30: Step<30>(); if (end == 31) return; [[fallthrough]];
    case 31: Step<31>(); break;
    default: break;
    }
}
