// Watches what the song does with the DSP. Every call carries the CPU
// clock (1.024 MHz clocks since the snapshot's first instruction, as
// Dsp::RunTo takes).
#pragma once

#include <cstdint>

class DspObserver {
public:
    virtual ~DspObserver() = default;
    // A DSP register write made by the CPU through $F3 (address & 0x7F; not
    // for writes ignored because $F2 >= $80), with the value written.
    virtual void OnDspWrite(uint64_t clock, uint8_t address, uint8_t value) = 0;
    // Voice `voice` (0..7) passed a BRR end block; `stopped` when that block
    // has no loop flag (the voice released and its envelope dropped to 0).
    // The clock is that of the frame the chip passed it in.
    virtual void OnVoiceEnd(uint64_t clock, uint8_t voice, bool stopped) = 0;
};
