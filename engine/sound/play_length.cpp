#include "engine/sound/play_length.h"

#include <cmath>

#include "engine/sound/sound_processor.h"

PlayLength TaggedPlayLength(const SpcSnapshot& snapshot) {
    PlayLength length;
    if (snapshot.lengthSeconds == 0) {
        length.frames = static_cast<uint64_t>(kDefaultPlaySeconds) * kFramesPerSecond;
        return length;
    }
    length.fadeFrames = static_cast<uint64_t>(snapshot.fadeMilliseconds) * kFramesPerSecond / 1000;
    length.frames = static_cast<uint64_t>(snapshot.lengthSeconds) * kFramesPerSecond + length.fadeFrames;
    return length;
}

PlayLength ChosenPlayLength(double seconds) {
    PlayLength length;
    length.frames = static_cast<uint64_t>(std::llround(seconds * kFramesPerSecond));
    return length;
}

void ApplyFade(int16_t* frames, size_t count, uint64_t first, const PlayLength& length) {
    uint64_t fadeStart = length.frames - length.fadeFrames;
    for (size_t i = 0; i < count; ++i) {
        uint64_t frame = first + i;
        if (frame < fadeStart) continue;
        int64_t left = frame < length.frames ? static_cast<int64_t>(length.frames - frame) : 0;
        int64_t fade = static_cast<int64_t>(length.fadeFrames);
        for (int channel = 0; channel < 2; ++channel) {
            int16_t& sample = frames[2 * i + channel];
            sample = static_cast<int16_t>(sample * left / fade);
        }
    }
}
