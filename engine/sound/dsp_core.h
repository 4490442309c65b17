// The sound chip's DSP as its state and the steps of its 32-clock frame.
// Each step does what the chip does in one clock; values the chip latches
// between steps are the t* members, shared by the voices as on the chip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "engine/sound/dsp_observer.h"

// Register addresses: per voice at v*16 + the first group, global the rest.
namespace dspreg {
constexpr int kVolL = 0x00;
constexpr int kVolR = 0x01;
constexpr int kPitchL = 0x02;
constexpr int kPitchH = 0x03;
constexpr int kSrcn = 0x04;
constexpr int kAdsr1 = 0x05;
constexpr int kAdsr2 = 0x06;
constexpr int kGain = 0x07;
constexpr int kEnvx = 0x08;
constexpr int kOutx = 0x09;
constexpr int kMvolL = 0x0C;
constexpr int kMvolR = 0x1C;
constexpr int kEvolL = 0x2C;
constexpr int kEvolR = 0x3C;
constexpr int kKon = 0x4C;
constexpr int kKoff = 0x5C;
constexpr int kFlg = 0x6C;
constexpr int kEndx = 0x7C;
constexpr int kEfb = 0x0D;
constexpr int kPmon = 0x2D;
constexpr int kNon = 0x3D;
constexpr int kEon = 0x4D;
constexpr int kDir = 0x5D;
constexpr int kEsa = 0x6D;
constexpr int kEdl = 0x7D;
constexpr int kFir = 0x0F;
}  // namespace dspreg

// FLG bits.
constexpr uint8_t kFlgReset = 0x80;
constexpr uint8_t kFlgMute = 0x40;
constexpr uint8_t kFlgEchoWriteOff = 0x20;

// Where a voice's envelope is.
enum class EnvelopeMode : uint8_t { kRelease, kAttack, kDecay, kSustain };

// One of the eight voices.
struct DspVoice {
    int32_t decoded[24];       // the last 12 decoded samples, twice, so four in a row never wrap
    int32_t decodedPos;        // where the next four go: 0, 4 or 8
    int32_t pitchCounter;      // bits 12+ step through the samples, 4-11 pick the weights
    int32_t brrAddress;        // the block being read
    int32_t brrOffset;         // the next byte pair in it: 1, 3, 5 or 7
    int32_t keyOnDelay;        // frames left before a keyed voice plays (5 down to 0)
    int32_t envelope;          // 0..$7FF
    int32_t hiddenEnvelope;    // the last computed value, even when the rate did not fire
    int32_t envxOut;           // envelope >> 4 as ENVX will get it
    EnvelopeMode mode;
    uint8_t bit;               // 1 << voice
    uint8_t index;             // 0..7
    uint8_t regBase;           // where its 16 registers start: voice * 16
};

// What the chip latches for the voice at work, from its V2 to its V5.
struct VoiceLatch {
    int32_t nextAddress = 0;  // the directory's start or loop address
    int32_t pitch = 0;
    uint8_t adsr1 = 0;
    uint8_t brrByte = 0;      // the first byte of the pair to decode
    uint8_t brrHeader = 0;    // the block's header
    uint8_t looped = 0;       // the voice's bit when it passed an end block
};

// The DSP state and its clock steps. ram is the 64 KiB audio RAM.
struct DspCore {
    uint8_t* ram = nullptr;
    uint8_t regs[128] = {};
    DspVoice voices[8] = {};

    // Global state.
    int32_t counter = 0;          // the rate counter, 0..30719, stepping down
    uint32_t firing = 0;          // bit r: rate r fires on this frame
    int32_t noise = 0x4000;       // 15-bit noise shift register
    bool everyOther = true;       // KON and KOFF are taken on frames where this is set
    uint8_t newKon = 0;           // KON bits written and not yet taken
    uint8_t kon = 0;              // KON bits being taken
    int32_t echoOffset = 0;       // byte offset in the echo region
    int32_t echoLength = 0;       // its length, fixed when the offset returns to 0
    int32_t echoHist[16][2] = {}; // the last 8 echo samples read, twice
    int32_t echoHistPos = 0;      // the newest of them, 0..7
    uint8_t endxBuf = 0, envxBuf = 0, outxBuf = 0;

    // Values latched between steps.
    uint8_t tKoff = 0, tPmon = 0, tNon = 0, tEon = 0, tDir = 0, tEsa = 0, tFlgEcho = 0;
    uint8_t tSrcn = 0;
    int32_t tDirAddress = 0, tOutput = 0;
    VoiceLatch latch;
    int32_t tEchoPtr = 0;
    int32_t tMainOut[2] = {}, tEchoOut[2] = {}, tEchoIn[2] = {};
    int32_t tMainLeft = 0;

    // Told of end blocks passed; may be null.
    DspObserver* observer = nullptr;
    // The CPU clock at which the current frame began.
    uint64_t frameClock = 0;

    // Mixed frames go here; none when frames is null.
    int16_t* out = nullptr;
    size_t outCapacity = 0;
    size_t outWritten = 0;

    // Clears the running state to that of a snapshot's start; the registers,
    // RAM, output and observer stay.
    void Start();

    // The 32 clocks of a frame.
    template <int Clock>
    void Step();
    // A whole frame from clock 0.
    void Frame();
    // Frame's work for voices I in turn (V1 of the voice after next, V2-V9).
    template <int... I>
    void VoicesInTurn(std::integer_sequence<int, I...>);
    template <int I>
    void VoiceInTurn();
    // Clocks first .. first + count - 1 of the frame (within 0..31).
    void Clocks(int first, int count);

    // Voice steps, in the order the chip gives each voice's work.
    void V1(DspVoice& v);
    void V2(DspVoice& v, VoiceLatch& l);
    void V3a(DspVoice& v, VoiceLatch& l);
    void V3b(DspVoice& v, VoiceLatch& l);
    void V3c(DspVoice& v, VoiceLatch& l);
    void V4(DspVoice& v, VoiceLatch& l);
    void V5(DspVoice& v, VoiceLatch& l);
    void V6(DspVoice& v);
    void V7(DspVoice& v);
    void V8(DspVoice& v);
    void V9(DspVoice& v);
    void V3(DspVoice& v, VoiceLatch& l) {
        V3a(v, l);
        V3b(v, l);
        V3c(v, l);
    }
    // V2 to V9 of a voice in turn.
    void VoiceSteps(DspVoice& v, VoiceLatch& l) {
        V2(v, l);
        V3(v, l);
        V4(v, l);
        V5(v, l);
        V6(v);
        V7(v);
        V8(v);
        V9(v);
    }

    // Echo steps at clocks 22..30 and the global work at 27..30.
    // With fir false they only read the history (a frame whose FIR output
    // neither sounds nor feeds a write).
    void Echo22(bool fir = true);
    void Echo23(bool fir = true);
    void Echo24(bool fir = true);
    void Echo25(bool fir = true);
    void Echo26();
    void Echo27();
    void Echo28();
    void Echo29();
    void Echo30();
    void Misc27();
    void Misc28();
    void Misc29();
    void Misc30();

    // Whether a voice is silent, released and not being keyed (at its V2).
    bool Idle(const DspVoice& v) const;
    // V2 to V9 of an idle voice, with less to do.
    void IdleVoiceSteps(DspVoice& v);

    // Voice helpers.
    template <bool LazyLoop>
    void StepBrr(DspVoice& v, VoiceLatch& l);
    void DecodeBrr(DspVoice& v, const VoiceLatch& l);
    int32_t Interpolate(const DspVoice& v) const;
    void RunEnvelope(DspVoice& v, uint8_t adsr1);
    void VoiceOutput(const DspVoice& v, int channel);
    // Whether rate r (0..31) fires on this frame.
    bool RateFires(int rate) const { return firing >> rate & 1; }
    // Sets the rate counter (0..30719).
    void SetRateCounter(int32_t value);
    // Steps the rate counter down once.
    void StepRateCounter();
    // Echo helpers.
    int32_t Fir(int tap, int channel) const;
    void EchoRead(int channel);
    void EchoWrite(int channel);
    int32_t EchoOutput(int channel) const;
};
