#include "engine/sound/dsp.h"

#include <cstring>

namespace {

// Where a frame starts relative to the snapshot's first clock.
constexpr int kFirstPhase = 0;

// Silent frames a snapshot's output starts with: players buffer that much
// ahead of the chip, and renders of snapshots carry it.
constexpr int kSnapshotLeadIn = 4;

}  // namespace

Dsp::Dsp(uint8_t* aram) {
    core_.ram = aram;
    Reset();
}

void Dsp::Reset() {
    std::memset(core_.regs, 0, sizeof core_.regs);
    core_.regs[dspreg::kFlg] = kFlgReset | kFlgMute | kFlgEchoWriteOff;
    ResetState();
}

void Dsp::LoadSnapshotRegisters(const uint8_t registers[128]) {
    std::memcpy(core_.regs, registers, sizeof core_.regs);
    ResetState();
    core_.newKon = core_.regs[dspreg::kKon];
    leadIn_ = kSnapshotLeadIn;
}

void Dsp::ResetState() {
    core_.Start();
    leadIn_ = 0;
    clock_ = 0;
    phase_ = kFirstPhase;
}

// Writes land in the register at once; KON is latched for the next frame
// that takes it, a write to ENDX clears it, and a write to ENVX or OUTX
// holds until the chip next stores them.
void Dsp::Write(uint8_t address, uint8_t value) {
    address &= 0x7F;
    core_.regs[address] = value;
    switch (address & 0x0F) {
    case dspreg::kEnvx: core_.envxBuf = value; break;
    case dspreg::kOutx: core_.outxBuf = value; break;
    case 0x0C:
        if (address == dspreg::kKon) core_.newKon = value;
        if (address == dspreg::kEndx) {
            core_.endxBuf = 0;
            core_.regs[dspreg::kEndx] = 0;
        }
        break;
    default: break;
    }
}

void Dsp::RunTo(uint64_t clock) {
    if (clock <= clock_) return;
    if (leadIn_) WriteLeadIn();
    uint64_t count = clock - clock_;
    clock_ = clock;
    if (phase_ != 0) {
        // Finish the frame under way, or as much of it as asked.
        int part = static_cast<int>(count < uint64_t(32 - phase_) ? count : uint64_t(32 - phase_));
        core_.Clocks(phase_, part);
        phase_ = (phase_ + part) & 31;
        count -= part;
    }
    // Now at a frame's start, unless the count ran out first.
    uint64_t at = clock - count;
    for (; count >= 32; count -= 32, at += 32) {
        core_.frameClock = at;
        core_.Frame();
    }
    if (count) {
        core_.frameClock = at;
        core_.Clocks(0, static_cast<int>(count));
        phase_ = static_cast<int>(count);
    }
}

void Dsp::SetOutput(int16_t* frames, size_t capacityFrames) {
    core_.out = frames;
    core_.outCapacity = frames ? capacityFrames : 0;
    core_.outWritten = 0;
}

// Only the first run writes it: without an output then, it is gone.
void Dsp::WriteLeadIn() {
    for (; leadIn_ > 0 && core_.outWritten < core_.outCapacity; --leadIn_) {
        core_.out[core_.outWritten * 2] = 0;
        core_.out[core_.outWritten * 2 + 1] = 0;
        ++core_.outWritten;
    }
    leadIn_ = 0;
}
