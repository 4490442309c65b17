#include "engine/song/midi_song.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "engine/song/midi_file.h"

namespace {

constexpr uint8_t kNoteOff = 0x80, kNoteOn = 0x90, kControl = 0xB0, kProgram = 0xC0, kBend = 0xE0;
constexpr uint8_t kBankMsb = 0, kDataMsb = 6, kVolume = 7, kPan = 10, kBankLsb = 32, kDataLsb = 38, kReverb = 91,
                  kRpnLsb = 100, kRpnMsb = 101;
constexpr uint8_t kVelocity = 127;
constexpr uint8_t kEchoSend = 64;
constexpr uint8_t kMetaName = 0x03, kMetaTempo = 0x51;
constexpr uint64_t kClocksPerTick = 1024;  // 1.024 MHz: a millisecond
constexpr int kBendCentre = 8192;

uint32_t TickOf(uint64_t clock) { return static_cast<uint32_t>((clock + kClocksPerTick / 2) / kClocksPerTick); }

// Volume as CC7, whose level players take as (value / 127) squared.
uint8_t VolumeValue(const VoiceState& s) {
    double level = std::max(std::abs(s.volumeLeft), std::abs(s.volumeRight)) / 128.0;
    return static_cast<uint8_t>(std::lround(127 * std::sqrt(std::min(level, 1.0))));
}

// The balance of the two volumes as CC10, 64 in the middle.
uint8_t PanValue(const VoiceState& s) {
    int left = std::abs(s.volumeLeft), right = std::abs(s.volumeRight);
    if (left + right == 0) return 64;
    return static_cast<uint8_t>(std::clamp(std::lround(64 + 63.0 * (right - left) / (right + left)), 0L, 127L));
}

// One voice's track and what its channel was last told.
struct VoiceTrack {
    MidiTrack track;
    bool used = false;
    int note = -1;  // sounding key, -1: none
    double unityKey = 60;
    int program = -1, bank = -1, volume = -1, pan = -1, reverb = -1, bend = kBendCentre;
};

class SongWriter {
public:
    SongWriter(const MidiInstrumentOf& instrumentOf, MidiSongCounts& counts)
        : instrumentOf_(instrumentOf), counts_(counts) {}
    void Apply(const VoiceEvent& e);
    std::vector<uint8_t> Finish(uint64_t endClock);

private:
    void Open(uint8_t voice);
    void Control(uint8_t voice, uint32_t tick, uint8_t number, uint8_t value, int& last);
    void Bend(uint8_t voice, uint32_t tick, double semitones);
    void NoteOff(uint8_t voice, uint32_t tick);
    void KeyOn(const VoiceEvent& e, uint32_t tick);

    const MidiInstrumentOf& instrumentOf_;
    MidiSongCounts& counts_;
    VoiceTrack voices_[8];
};

void SongWriter::Open(uint8_t voice) {
    VoiceTrack& v = voices_[voice];
    if (v.used) return;
    v.used = true;
    std::string name = "voice " + std::to_string(voice);
    v.track.Meta(0, kMetaName, std::vector<uint8_t>(name.begin(), name.end()));
    // The bend range through RPN 0, then the null RPN so that later data entry does nothing.
    uint8_t status = kControl | voice;
    for (auto [number, value] : {std::pair{kRpnMsb, 0},
                                 {kRpnLsb, 0},
                                 {kDataMsb, kBendRangeSemitones},
                                 {kDataLsb, 0},
                                 {kRpnMsb, 127},
                                 {kRpnLsb, 127}})
        v.track.Add(0, {status, number, static_cast<uint8_t>(value)});
}

void SongWriter::Control(uint8_t voice, uint32_t tick, uint8_t number, uint8_t value, int& last) {
    if (last == value) return;
    voices_[voice].track.Add(tick, {static_cast<uint8_t>(kControl | voice), number, value});
    last = value;
}

void SongWriter::Bend(uint8_t voice, uint32_t tick, double semitones) {
    VoiceTrack& v = voices_[voice];
    long value = std::lround(kBendCentre + semitones / kBendRangeSemitones * kBendCentre);
    if (value < 0 || value > 16383) ++counts_.bendsClamped;
    value = std::clamp(value, 0L, 16383L);
    if (value == v.bend) return;
    v.track.Add(tick, {static_cast<uint8_t>(kBend | voice), static_cast<uint8_t>(value & 0x7F),
                       static_cast<uint8_t>(value >> 7)});
    v.bend = static_cast<int>(value);
}

void SongWriter::NoteOff(uint8_t voice, uint32_t tick) {
    VoiceTrack& v = voices_[voice];
    if (v.note < 0) return;
    v.track.Add(tick, {static_cast<uint8_t>(kNoteOff | voice), static_cast<uint8_t>(v.note), 0});
    v.note = -1;
}

// Program (and bank) when they change, controllers, bend, then the note.
void SongWriter::KeyOn(const VoiceEvent& e, uint32_t tick) {
    const VoiceState& s = e.state;
    if (s.noise) {
        ++counts_.noiseKeyOns;
        return;
    }
    std::optional<MidiInstrument> instrument = instrumentOf_(s.dir, s.srcn);
    if (!instrument || s.pitch == 0) {
        ++counts_.unplayedKeyOns;
        return;
    }
    uint8_t voice = e.voice;
    Open(voice);
    VoiceTrack& v = voices_[voice];
    if (instrument->bank != v.bank || instrument->program != v.program) {
        if (instrument->bank != v.bank) {
            int lsb = -1;
            Control(voice, tick, kBankMsb, instrument->bank, v.bank);
            Control(voice, tick, kBankLsb, 0, lsb);
        }
        v.track.Add(tick, {static_cast<uint8_t>(kProgram | voice), instrument->program});
        v.program = instrument->program;
    }
    Control(voice, tick, kVolume, VolumeValue(s), v.volume);
    Control(voice, tick, kPan, PanValue(s), v.pan);
    Control(voice, tick, kReverb, s.echo ? kEchoSend : 0, v.reverb);
    double key = instrument->unityKey + 12 * std::log2(s.pitch / static_cast<double>(kUnityPitch));
    int note = static_cast<int>(std::clamp(std::lround(key), 0L, 127L));
    v.unityKey = instrument->unityKey;
    Bend(voice, tick, key - note);
    v.track.Add(tick, {static_cast<uint8_t>(kNoteOn | voice), static_cast<uint8_t>(note), kVelocity});
    v.note = note;
    ++counts_.notes;
}

void SongWriter::Apply(const VoiceEvent& e) {
    if (e.voice >= 8) return;
    uint32_t tick = TickOf(e.clock);
    VoiceTrack& v = voices_[e.voice];
    switch (e.kind) {
    case VoiceEventKind::KeyOn:
        NoteOff(e.voice, tick);
        KeyOn(e, tick);
        break;
    case VoiceEventKind::KeyOff:
    case VoiceEventKind::End: NoteOff(e.voice, tick); break;
    case VoiceEventKind::Pitch:
        if (v.note >= 0 && e.state.pitch != 0)
            Bend(e.voice, tick, v.unityKey + 12 * std::log2(e.state.pitch / static_cast<double>(kUnityPitch)) - v.note);
        break;
    case VoiceEventKind::Volume:
        if (v.note >= 0) {
            Control(e.voice, tick, kVolume, VolumeValue(e.state), v.volume);
            Control(e.voice, tick, kPan, PanValue(e.state), v.pan);
        }
        break;
    case VoiceEventKind::Echo:
        if (v.note >= 0) Control(e.voice, tick, kReverb, e.state.echo ? kEchoSend : 0, v.reverb);
        break;
    }
}

std::vector<uint8_t> SongWriter::Finish(uint64_t endClock) {
    std::vector<MidiTrack> tracks(1);
    tracks[0].Meta(0, kMetaTempo, {kMidiTempo >> 16, (kMidiTempo >> 8) & 0xFF, kMidiTempo & 0xFF});
    for (uint8_t voice = 0; voice < 8; ++voice) {
        if (!voices_[voice].used) continue;
        NoteOff(voice, TickOf(endClock));
        tracks.push_back(voices_[voice].track);
        ++counts_.tracks;
    }
    return MidiFileBytes(tracks, kMidiDivision);
}

}  // namespace

std::vector<uint8_t> SongMidi(const std::vector<VoiceEvent>& events, uint64_t endClock,
                              const MidiInstrumentOf& instrumentOf, MidiSongCounts& counts) {
    counts = {};
    SongWriter writer(instrumentOf, counts);
    for (const VoiceEvent& e : events) writer.Apply(e);
    return writer.Finish(endClock);
}
