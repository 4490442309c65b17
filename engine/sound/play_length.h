// How long a snapshot plays: the tag's song length followed by its fade,
// a default when the tag gives none, or a length the user chose.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/sound/spc_snapshot.h"

// Played when the tag gives no length.
constexpr uint32_t kDefaultPlaySeconds = 180;

struct PlayLength {
    uint64_t frames = 0;      // in all, the fade included
    uint64_t fadeFrames = 0;  // at the end, fading linearly to silence
};

// The tag's length then its fade, or kDefaultPlaySeconds without fade.
PlayLength TaggedPlayLength(const SpcSnapshot& snapshot);
// Exactly `seconds` (rounded to the nearest frame), without fade.
PlayLength ChosenPlayLength(double seconds);
// Fades `count` interleaved stereo frames that start at frame `first` of the song.
void ApplyFade(int16_t* frames, size_t count, uint64_t first, const PlayLength& length);
