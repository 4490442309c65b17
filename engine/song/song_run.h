// A snapshot played through for what its song does with the voices: the
// sound processor runs without mixing while the recorder watches it.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/song/voice_events.h"
#include "engine/sound/spc_snapshot.h"

// Longest run asked for: an hour of song.
constexpr double kLongestPlaySeconds = 3600;

struct SongRun {
    std::vector<VoiceEvent> events;  // in time order
    uint64_t endClock = 0;           // CPU clocks run
    uint8_t startDir = 0;            // DIR in the snapshot
    bool truncated = false;          // events past kMaxVoiceEvents were left out
    std::vector<uint8_t> ram;        // the 64 KiB of audio RAM as the run left it
};

// Plays the snapshot for seconds (0..kLongestPlaySeconds). May throw
// std::bad_alloc.
SongRun PlaySong(const SpcSnapshot& snapshot, double seconds);
