#include "engine/sound/sound_processor.h"

#include <algorithm>

namespace {

constexpr uint16_t kControl = 0xF1;
constexpr uint16_t kRomStart = 0xFFC0;
constexpr uint8_t kFlg = 0x6C;
constexpr uint8_t kEsa = 0x6D;
constexpr uint8_t kEdl = 0x7D;
constexpr uint8_t kEchoWritesOff = 0x20;

}  // namespace

SoundProcessor::SoundProcessor() : dsp_(bus_.Ram().data()), cpu_(bus_) { bus_.AttachDsp(&dsp_); }

void SoundProcessor::Load(const SpcSnapshot& snapshot) {
    auto& ram = bus_.Ram();
    ram = snapshot.ram;
    // With the boot ROM mapped, the file's extra RAM is what lies under it.
    if (ram[kControl] & 0x80) std::copy(snapshot.extraRam.begin(), snapshot.extraRam.end(), ram.begin() + kRomStart);
    bus_.LoadRegistersFromRam();
    dsp_.Reset();
    dsp_.LoadSnapshotRegisters(snapshot.dsp.data());
    FillEchoRegion();
    cpu_.SetRegisters(snapshot.cpu);
    sliceEnd_ = 0;
}

void SoundProcessor::FillEchoRegion() {
    if (dsp_.Read(kFlg) & kEchoWritesOff) return;
    size_t start = static_cast<size_t>(dsp_.Read(kEsa)) << 8;
    size_t length = static_cast<size_t>(dsp_.Read(kEdl) & 15) * 2048;
    auto& ram = bus_.Ram();
    std::fill(ram.begin() + start, ram.begin() + std::min(ram.size(), start + length), 0xFF);
}

size_t SoundProcessor::Run(size_t frames, int16_t* out) {
    sliceEnd_ += static_cast<uint64_t>(frames) * kClocksPerFrame;
    dsp_.SetOutput(out, out ? frames + kRunSlackFrames : 0);
    cpu_.RunUntil(sliceEnd_);
    if (cpu_.Halted()) bus_.SkipTo(sliceEnd_);
    dsp_.RunTo(sliceEnd_);
    return out ? dsp_.FramesWritten() : 0;
}
