// The sound CPU's view of the console: 64 KiB of audio RAM with the
// registers at $F0-$FF (CONTROL, the DSP's address and data, the four
// ports, three timers) and the boot-ROM area, counting one CPU clock per
// access. Every write also lands in RAM underneath.
#pragma once

#include <array>
#include <cstdint>

#include "engine/sound/dsp.h"
#include "engine/sound/dsp_observer.h"
#include "engine/sound/key_on.h"
#include "engine/sound/sound_timer.h"

class SoundBus {
public:
    SoundBus() : timers_{SoundTimer(128), SoundTimer(128), SoundTimer(16)} {}

    // The audio RAM, which the bus holds (the DSP works on it too).
    std::array<uint8_t, 0x10000>& Ram() { return ram_; }
    const std::array<uint8_t, 0x10000>& Ram() const { return ram_; }
    // The DSP the bus drives; set before the first access.
    void AttachDsp(Dsp* dsp) { dsp_ = dsp; }

    // CPU clocks since the snapshot started.
    uint64_t Clock() const { return clock_; }
    // Moves the clock on without running anything (a halted CPU).
    void SkipTo(uint64_t clock) { if (clock > clock_) clock_ = clock; }
    // Sets the registers $F0-$FF from the RAM bytes under them (a snapshot's way) and the clock to 0.
    void LoadRegistersFromRam();
    // Where key-ons are reported (nullptr: nowhere).
    void SetKeyOnListener(KeyOnListener* listener) { keyOnListener_ = listener; }
    // Where DSP register writes are reported (nullptr: nowhere).
    void SetDspObserver(DspObserver* observer) { dspObserver_ = observer; }

    // One read cycle.
    uint8_t Read(uint16_t address) {
        uint64_t now = clock_++;
        if (static_cast<uint16_t>(address - 0xF0) >= 0x10 && address < 0xFFC0) return ram_[address];
        return ReadSpecial(address, now);
    }
    // One write cycle.
    void Write(uint16_t address, uint8_t value) {
        uint64_t now = clock_++;
        ram_[address] = value;
        if (static_cast<uint16_t>(address - 0xF0) < 0x10) WriteRegister(address, value, now);
    }
    // One cycle without an access.
    void Idle() { ++clock_; }

private:
    // A read of $F0-$FF or the boot-ROM area in the cycle starting at `now`.
    uint8_t ReadSpecial(uint16_t address, uint64_t now);
    // A write to $F0-$FF (already in RAM) in the cycle starting at `now`.
    void WriteRegister(uint16_t address, uint8_t value, uint64_t now);
    // CONTROL: timer enables, port clears, the boot ROM.
    void WriteControl(uint8_t value, uint64_t now);
    // $F3: the DSP register that $F2 names, unless $F2 >= $80.
    void WriteDsp(uint8_t value, uint64_t now);
    // Tells the listener of a KON write, with the keyed voices' registers.
    void ReportKeyOn(uint8_t kon, uint64_t clock);

    std::array<uint8_t, 0x10000> ram_{};
    Dsp* dsp_ = nullptr;
    SoundTimer timers_[3];
    uint64_t clock_ = 0;
    uint8_t dspAddress_ = 0;
    uint8_t ports_[4] = {};  // what the main CPU last wrote
    bool romMapped_ = false;
    KeyOnListener* keyOnListener_ = nullptr;
    DspObserver* dspObserver_ = nullptr;
};
