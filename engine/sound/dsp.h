// The sound chip's DSP: eight BRR voices with envelopes, noise, pitch
// modulation and an echo in audio RAM, run clock by clock against the CPU.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/sound/dsp_core.h"

// The DSP works on the 64 KiB audio RAM it is given (echo writes into it).
class Dsp {
public:
    explicit Dsp(uint8_t* aram);
    // Power-on state: registers clear but FLG (reset, mute, no echo writes).
    void Reset();
    // A snapshot's 128 registers as stored: every voice silent and released,
    // KON voices keyed as if KON had just been written (taken in frame 1),
    // noise $4000, echo position 0, rate counter 0. Its output starts with
    // 4 silent frames, as snapshot players' does.
    void LoadSnapshotRegisters(const uint8_t registers[128]);
    // Register access as the CPU makes it through $F2/$F3 (address 0..127).
    uint8_t Read(uint8_t address) const { return core_.regs[address & 0x7F]; }
    void Write(uint8_t address, uint8_t value);
    // Runs the DSP up to CPU clock `clock` (clocks since the snapshot
    // started; a frame every 32); earlier clocks are ignored.
    void RunTo(uint64_t clock);
    // Where finished stereo frames go (interleaved L,R int16); frames past
    // the capacity are dropped. nullptr: no frames (voices, envelopes, ENDX,
    // ENVX, OUTX and echo writes to RAM still run; only the final mix is
    // skipped, so mixing may start again at any frame with the same result).
    void SetOutput(int16_t* frames, size_t capacityFrames);
    // Frames written since SetOutput.
    size_t FramesWritten() const { return core_.outWritten; }
    // Who is told of end blocks passed (nullptr: nobody).
    void SetObserver(DspObserver* observer) { core_.observer = observer; }
    // CPU clocks run so far.
    uint64_t Clock() const { return clock_; }

private:
    // Clears the running state; the registers stay as they are.
    void ResetState();
    // Writes what is left of the lead-in silence to the output.
    void WriteLeadIn();

    DspCore core_;
    uint64_t clock_ = 0;
    int phase_ = 0;  // the next clock of the frame, 0..31
    int leadIn_ = 0;  // silent frames still to write before the first mixed one
};
