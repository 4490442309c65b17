#include "engine/song/voice_event_recorder.h"

#include <algorithm>

namespace {

enum Register : uint8_t {
    kVolumeLeft = 0x0,
    kVolumeRight = 0x1,
    kPitchLow = 0x2,
    kPitchHigh = 0x3,
    kSource = 0x4,
    kAdsr1 = 0x5,
    kAdsr2 = 0x6,
    kGain = 0x7,
    kKon = 0x4C,
    kKoff = 0x5C,
    kFlg = 0x6C,
    kNon = 0x3D,
    kEon = 0x4D,
    kDir = 0x5D,
};
constexpr uint8_t kSoftReset = 0x80;
// An end block passed this soon after KON still belongs to the voice's
// previous sample: the chip starts the new one a few frames after the
// write (KON is looked at every other frame, then a delay of 5).
constexpr uint64_t kKeyOnSettling = 8 * 32;

}  // namespace

std::vector<VoiceKeyOn> KeyOnsOf(const std::vector<VoiceEvent>& events) {
    std::vector<VoiceKeyOn> keyOns;
    for (const VoiceEvent& e : events) {
        if (e.kind != VoiceEventKind::KeyOn) continue;
        keyOns.push_back({e.clock, e.voice, e.state.dir, e.state.srcn, e.state.envelope, e.state.pitch,
                          e.state.volumeLeft, e.state.volumeRight});
    }
    return keyOns;
}

void VoiceEventRecorder::Start(const uint8_t registers[128]) {
    std::copy_n(registers, 128, registers_);
    events_.clear();
    truncated_ = false;
    std::fill(std::begin(sounding_), std::end(sounding_), false);
    if (registers_[kKon] != 0) KeyOn(0, registers_[kKon]);
}

VoiceState VoiceEventRecorder::StateOf(uint8_t voice) const {
    const uint8_t* r = registers_ + voice * 16;
    VoiceState s;
    s.dir = registers_[kDir];
    s.srcn = r[kSource];
    s.envelope = {r[kAdsr1], r[kAdsr2], r[kGain]};
    s.pitch = static_cast<uint16_t>((r[kPitchLow] | r[kPitchHigh] << 8) & 0x3FFF);
    s.volumeLeft = static_cast<int8_t>(r[kVolumeLeft]);
    s.volumeRight = static_cast<int8_t>(r[kVolumeRight]);
    s.echo = registers_[kEon] >> voice & 1;
    s.noise = registers_[kNon] >> voice & 1;
    return s;
}

void VoiceEventRecorder::Add(uint64_t clock, uint8_t voice, VoiceEventKind kind) {
    if (events_.size() == kMaxVoiceEvents) {
        truncated_ = true;
        return;
    }
    events_.push_back({clock, voice, kind, StateOf(voice)});
}

void VoiceEventRecorder::KeyOn(uint64_t clock, uint8_t mask) {
    for (uint8_t v = 0; v < 8; ++v) {
        if (!(mask >> v & 1)) continue;
        sounding_[v] = true;
        keyedAt_[v] = clock;
        Add(clock, v, VoiceEventKind::KeyOn);
    }
}

void VoiceEventRecorder::KeyOff(uint64_t clock, uint8_t mask) {
    for (uint8_t v = 0; v < 8; ++v) {
        if (!(mask >> v & 1) || !sounding_[v]) continue;
        sounding_[v] = false;
        Add(clock, v, VoiceEventKind::KeyOff);
    }
}

void VoiceEventRecorder::OnDspWrite(uint64_t clock, uint8_t address, uint8_t value) {
    address &= 0x7F;
    uint8_t old = registers_[address];
    registers_[address] = value;
    if (address == kKon) {
        // A write of KOFF's bits left set releases keyed voices at once.
        KeyOn(clock, value);
        KeyOff(clock, value & registers_[kKoff]);
    } else if (address == kKoff) {
        KeyOff(clock, value);
    } else if (address == kFlg) {
        if (value & kSoftReset) KeyOff(clock, 0xFF);
    } else if (address == kEon) {
        for (uint8_t v = 0; v < 8; ++v)
            if (((old ^ value) >> v & 1) && sounding_[v]) Add(clock, v, VoiceEventKind::Echo);
    } else if ((address & 0x0F) <= kPitchHigh && old != value) {
        uint8_t voice = address >> 4;
        bool pitch = (address & 0x0F) >= kPitchLow;
        if (sounding_[voice]) Add(clock, voice, pitch ? VoiceEventKind::Pitch : VoiceEventKind::Volume);
    }
}

void VoiceEventRecorder::OnVoiceEnd(uint64_t clock, uint8_t voice, bool stopped) {
    if (!stopped || voice >= 8 || !sounding_[voice] || clock < keyedAt_[voice] + kKeyOnSettling) return;
    sounding_[voice] = false;
    Add(clock, voice, VoiceEventKind::End);
}
