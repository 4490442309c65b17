// Turns the DSP register writes a song makes, and the voices' end blocks,
// into voice events, watching the sound processor as its DSP observer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/song/voice_events.h"
#include "engine/sound/dsp_observer.h"

// The most events a recorder keeps (about 100 MB): a program that rewrites
// pitches without pause for an hour stops being recorded there.
constexpr size_t kMaxVoiceEvents = size_t{1} << 22;

class VoiceEventRecorder : public DspObserver {
public:
    // Starts from a snapshot's 128 DSP registers: voices named in its KON
    // byte are keyed at clock 0, as the player keys them.
    void Start(const uint8_t registers[128]);
    // A register write by the program, at this CPU clock.
    void OnDspWrite(uint64_t clock, uint8_t address, uint8_t value) override;
    // Voice passed an end block; stopped when it had no loop flag.
    void OnVoiceEnd(uint64_t clock, uint8_t voice, bool stopped) override;
    // Everything recorded so far, in time order.
    const std::vector<VoiceEvent>& Events() const { return events_; }
    // Whether events past kMaxVoiceEvents were left out.
    bool Truncated() const { return truncated_; }

private:
    VoiceState StateOf(uint8_t voice) const;
    void Add(uint64_t clock, uint8_t voice, VoiceEventKind kind);
    void KeyOn(uint64_t clock, uint8_t mask);
    void KeyOff(uint64_t clock, uint8_t mask);

    uint8_t registers_[128] = {};
    bool sounding_[8] = {};
    uint64_t keyedAt_[8] = {};
    std::vector<VoiceEvent> events_;
    bool truncated_ = false;
};
