// The console's sound processor as a whole: the SPC700 running a snapshot's
// program on its bus, and the DSP making 32,000 stereo frames a second from
// the same audio RAM. Runs in slices of frames without allocating; the same
// snapshot always gives the same frames and key-ons.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/sound/dsp.h"
#include "engine/sound/key_on.h"
#include "engine/sound/sound_bus.h"
#include "engine/sound/spc700.h"
#include "engine/sound/spc_snapshot.h"

// CPU clocks per output frame.
constexpr uint32_t kClocksPerFrame = 32;
// Output frames per second.
constexpr uint32_t kFramesPerSecond = 32000;
// Frames a run may write beyond those asked for (the DSP's lead-in of
// silent frames, a frame finished by an instruction's last clocks).
constexpr size_t kRunSlackFrames = 8;

class SoundProcessor {
public:
    // About 70 KiB: keep it on the heap.
    SoundProcessor();
    SoundProcessor(const SoundProcessor&) = delete;
    SoundProcessor& operator=(const SoundProcessor&) = delete;

    // Starts the snapshot: RAM, the $F0-$FF registers, the CPU and DSP
    // registers, and the echo region filled with $FF when echo writes are on.
    void Load(const SpcSnapshot& snapshot);
    // Runs `frames` more frames. With `out` (room for frames +
    // kRunSlackFrames stereo frames) the mix goes there; returns the frames
    // written (0 without out).
    size_t Run(size_t frames, int16_t* out);
    // Where key-ons are reported while running (nullptr: nowhere).
    void SetKeyOnListener(KeyOnListener* listener) { bus_.SetKeyOnListener(listener); }
    // Where DSP register writes and voices' end blocks are reported (nullptr: nowhere).
    void SetDspObserver(DspObserver* observer) {
        bus_.SetDspObserver(observer);
        dsp_.SetObserver(observer);
    }
    // CPU clocks since the snapshot started (at most one instruction past the last slice).
    uint64_t Clock() const { return bus_.Clock(); }
    // Whether the CPU has halted (SLEEP or STOP).
    bool CpuHalted() const { return cpu_.Halted(); }
    // The CPU registers between instructions.
    Spc700Registers CpuRegisters() const { return cpu_.Registers(); }
    // The audio RAM.
    const uint8_t* Ram() const { return bus_.Ram().data(); }
    // The DSP, for reading its registers.
    Dsp& GetDsp() { return dsp_; }

private:
    // $FF over the echo buffer's region when echo writes are on, as players do before playing.
    void FillEchoRegion();

    SoundBus bus_;
    Dsp dsp_;
    Spc700<SoundBus> cpu_;
    uint64_t sliceEnd_ = 0;
};
