// What the song does with each of the chip's eight voices, as a list of
// events in time: the input from which key-on statistics and MIDI are made.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/song/chip_envelope.h"
#include "engine/song/key_on_stats.h"

enum class VoiceEventKind : uint8_t {
    KeyOn,   // the voice starts its entry's sample
    KeyOff,  // KOFF (or a soft reset) released it
    Pitch,   // PITCH changed while it sounds
    Volume,  // VOLL or VOLR changed while it sounds
    Echo,    // its EON bit changed while it sounds
    End,     // it reached an end block without loop: the sample is over
};

// A voice's registers as they stand after the event.
struct VoiceState {
    uint8_t dir = 0;  // DIR: the directory's page
    uint8_t srcn = 0;
    EnvelopeSetting envelope;
    uint16_t pitch = 0;  // 14 bits
    int8_t volumeLeft = 0;
    int8_t volumeRight = 0;
    bool echo = false;   // EON
    bool noise = false;  // NON: plays noise instead of the sample
};

struct VoiceEvent {
    uint64_t clock = 0;  // CPU clocks (1,024,000 a second) since the song started
    uint8_t voice = 0;   // 0..7
    VoiceEventKind kind = VoiceEventKind::KeyOn;
    VoiceState state;
};

// The key-ons among events, for key-on statistics.
std::vector<VoiceKeyOn> KeyOnsOf(const std::vector<VoiceEvent>& events);
