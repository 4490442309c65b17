// What a song's key-ons say of each directory entry: how often and how
// soon it is keyed, with which envelope, over which notes, and the offset
// from equal temperament its pitches share.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/song/chip_envelope.h"

// CPU clocks a second; key-ons carry the clock at which KON was written.
constexpr double kCpuClocksPerSecond = 1024000;
// The pitch that plays a sample at its own rate.
constexpr uint16_t kUnityPitch = 0x1000;

// One voice keyed on, with its registers as KON was written.
struct VoiceKeyOn {
    uint64_t clock = 0;
    uint8_t voice = 0;
    uint8_t dir = 0;  // DIR: the directory's page
    uint8_t srcn = 0;
    EnvelopeSetting envelope;
    uint16_t pitch = 0;  // 14 bits
    int8_t volumeLeft = 0;
    int8_t volumeRight = 0;
};

// The key-ons of one directory entry (one DIR page and SRCN).
struct EntryPlay {
    uint8_t dir = 0;
    uint8_t srcn = 0;
    uint32_t keyOns = 0;
    double firstKeyOn = 0;          // seconds
    EnvelopeSetting envelope;       // the setting used most (the earliest of equals)
    uint32_t envelopeUses = 0;      // key-ons with it
    uint32_t envelopes = 0;         // different settings used
    std::vector<uint16_t> pitches;  // distinct, rising
};

// Per entry keyed, ordered by DIR page, then SRCN.
std::vector<EntryPlay> GatherKeyOns(const std::vector<VoiceKeyOn>& keyOns);

struct NoteRange {
    int low = 0;
    int high = 0;
};
// The nearest MIDI notes of the lowest and highest non-zero pitch, for an
// entry whose fundamental at its own rate is tuningMidi (none: key 60).
std::optional<NoteRange> NotesPlayed(const EntryPlay& play, std::optional<double> tuningMidi);

// The offset in cents (-50..50) from equal temperament that the entry's
// pitches share, each taken as a ratio to the unity pitch: the mean of the
// largest group of offsets within ±kSharedCents of one another, which must
// hold at least 3 distinct non-zero pitches and half of them (slides and
// vibrato leave the others scattered). None otherwise.
constexpr double kSharedCents = 10;
std::optional<double> SongCents(const EntryPlay& play);

// Whether a loop's tuning (cents from its nearest note) and the song's
// offset put the entry's notes on equal temperament alike: within
// kAgreementCents, modulo a semitone (the song cannot tell more).
constexpr double kAgreementCents = 25;
bool TuningAgrees(double loopCents, double songCents);
