#include "engine/song/song_run.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "engine/song/voice_event_recorder.h"
#include "engine/sound/sound_processor.h"

namespace {

constexpr uint8_t kDir = 0x5D;
// Frames run between two looks at the clock: a second of song.
constexpr size_t kSliceFrames = kFramesPerSecond;

}  // namespace

SongRun PlaySong(const SpcSnapshot& snapshot, double seconds) {
    auto processor = std::make_unique<SoundProcessor>();
    VoiceEventRecorder recorder;
    processor->Load(snapshot);
    recorder.Start(snapshot.dsp.data());
    processor->SetDspObserver(&recorder);
    size_t frames = static_cast<size_t>(std::llround(std::clamp(seconds, 0.0, kLongestPlaySeconds) * kFramesPerSecond));
    for (size_t done = 0; done < frames;) {
        size_t slice = std::min(kSliceFrames, frames - done);
        processor->Run(slice, nullptr);
        done += slice;
    }
    processor->SetDspObserver(nullptr);
    SongRun run;
    run.events = recorder.Events();
    run.endClock = static_cast<uint64_t>(frames) * kClocksPerFrame;
    run.startDir = snapshot.dsp[kDir];
    run.truncated = recorder.Truncated();
    run.ram.assign(processor->Ram(), processor->Ram() + 0x10000);
    return run;
}
