#include "engine/sound/sound_bus.h"

namespace {

constexpr uint16_t kControl = 0xF1;
constexpr uint16_t kDspAddress = 0xF2;
constexpr uint16_t kDspData = 0xF3;
constexpr uint16_t kPort0 = 0xF4;
constexpr uint16_t kTarget0 = 0xFA;
constexpr uint16_t kOutput0 = 0xFD;
constexpr uint16_t kRomStart = 0xFFC0;
constexpr uint8_t kKon = 0x4C;
constexpr uint8_t kDir = 0x5D;

}  // namespace

void SoundBus::LoadRegistersFromRam() {
    clock_ = 0;
    uint8_t control = ram_[kControl];
    for (int i = 0; i < 3; ++i) {
        timers_[i] = SoundTimer(i == 2 ? 16 : 128);
        timers_[i].Load(ram_[kTarget0 + i], ram_[kOutput0 + i], control & (1 << i));
    }
    romMapped_ = control & 0x80;
    dspAddress_ = ram_[kDspAddress];
    for (int i = 0; i < 4; ++i) ports_[i] = ram_[kPort0 + i];
}

uint8_t SoundBus::ReadSpecial(uint16_t address, uint64_t now) {
    if (address >= kRomStart) {
        // The boot ROM is not shipped: its area reads as zero but for the reset vector.
        if (!romMapped_) return ram_[address];
        return address == 0xFFFE ? 0xFF : address == 0xFFFF ? 0xC0 : 0;
    }
    switch (address) {
        case kDspAddress: return dspAddress_;
        case kDspData:
            // The DSP sees an access as its cycle ends; the reference renders agree.
            dsp_->RunTo(now + 1);
            return dsp_->Read(dspAddress_ & 0x7F);
        case 0xF4: case 0xF5: case 0xF6: case 0xF7: return ports_[address - kPort0];
        case 0xF8: case 0xF9: return ram_[address];
        // A timer read sees the ticks up to its cycle's start (the reference's tempo shows it).
        case 0xFD: case 0xFE: case 0xFF: return timers_[address - kOutput0].ReadOutput(now);
        default: return 0;  // TEST, CONTROL and the targets read as zero
    }
}

void SoundBus::WriteRegister(uint16_t address, uint8_t value, uint64_t now) {
    switch (address) {
        case kControl: WriteControl(value, now); break;
        case kDspAddress: dspAddress_ = value; break;
        case kDspData: WriteDsp(value, now); break;
        case 0xFA: case 0xFB: case 0xFC: timers_[address - kTarget0].SetTarget(value, now); break;
        default: break;  // TEST, the output ports, $F8/$F9 and the timer outputs keep only the RAM byte
    }
}

void SoundBus::WriteControl(uint8_t value, uint64_t now) {
    for (int i = 0; i < 3; ++i) timers_[i].SetEnabled(value & (1 << i), now);
    if (value & 0x10) ports_[0] = ports_[1] = 0;
    if (value & 0x20) ports_[2] = ports_[3] = 0;
    romMapped_ = value & 0x80;
}

void SoundBus::WriteDsp(uint8_t value, uint64_t now) {
    if (dspAddress_ >= 0x80) return;
    // The write takes effect, and is reported, as its cycle ends.
    uint64_t clock = now + 1;
    dsp_->RunTo(clock);
    if (dspAddress_ == kKon && value != 0 && keyOnListener_) ReportKeyOn(value, clock);
    if (dspObserver_) dspObserver_->OnDspWrite(clock, dspAddress_, value);
    dsp_->Write(dspAddress_, value);
}

void SoundBus::ReportKeyOn(uint8_t kon, uint64_t clock) {
    KeyOn keyOn;
    keyOn.clock = clock;
    keyOn.kon = kon;
    keyOn.dir = dsp_->Read(kDir);
    for (int v = 0; v < 8; ++v) {
        uint8_t base = static_cast<uint8_t>(v << 4);
        KeyOnVoice& voice = keyOn.voices[v];
        voice.volL = static_cast<int8_t>(dsp_->Read(base));
        voice.volR = static_cast<int8_t>(dsp_->Read(base + 1));
        voice.pitch = static_cast<uint16_t>((dsp_->Read(base + 2) | dsp_->Read(base + 3) << 8) & 0x3FFF);
        voice.srcn = dsp_->Read(base + 4);
        voice.adsr1 = dsp_->Read(base + 5);
        voice.adsr2 = dsp_->Read(base + 6);
        voice.gain = dsp_->Read(base + 7);
    }
    keyOnListener_->OnKeyOn(keyOn);
}
