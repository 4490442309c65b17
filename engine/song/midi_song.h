// The song as a Standard MIDI File: type 1, one millisecond a tick (tempo
// 500,000 µs, 500 ticks a quarter note), a conductor track and a track per
// voice on the voice's own channel. Each key-on becomes a note at the key
// nearest its sounding pitch, with a pitch bend for the rest; later pitch
// changes bend the note; the note ends at key-off, at the end of a sample
// without loop, at the voice's next key-on or at the end of the song.
// Volume and pan (CC7, CC10) follow the voice's volumes, CC91 its echo.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/song/voice_events.h"

// Ticks a quarter note and microseconds a quarter: one tick a millisecond.
constexpr uint16_t kMidiDivision = 500;
constexpr uint32_t kMidiTempo = 500000;
// Semitones a full pitch bend reaches (set on every track through RPN 0).
constexpr int kBendRangeSemitones = 12;

// Where an entry plays in the SoundFont that goes with the MIDI file.
struct MidiInstrument {
    uint8_t bank = 0;
    uint8_t program = 0;
    // The fractional key at which the preset plays the sample at its own
    // rate: its root key less its correction, or 60 without a tuning.
    double unityKey = 60;
};
// The instrument of a directory entry (DIR page, SRCN); none: not in the SoundFont.
using MidiInstrumentOf = std::function<std::optional<MidiInstrument>(uint8_t dir, uint8_t srcn)>;

struct MidiSongCounts {
    uint32_t notes = 0;
    uint32_t noiseKeyOns = 0;     // noise voices are left out
    uint32_t unplayedKeyOns = 0;  // pitch 0, or an entry without instrument
    uint32_t bendsClamped = 0;    // pitch changes beyond the bend range
    uint32_t tracks = 0;          // voice tracks written
};

// The file's bytes for events (in time order) that end at endClock.
std::vector<uint8_t> SongMidi(const std::vector<VoiceEvent>& events, uint64_t endClock,
                              const MidiInstrumentOf& instrumentOf, MidiSongCounts& counts);
