// Standard MIDI Files: tracks of timed events, and the file's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

// One track's events, added in time order (ticks from the start).
class MidiTrack {
public:
    // A channel message (status byte and its data), or a system one.
    void Add(uint32_t tick, std::initializer_list<uint8_t> message);
    // A meta event of this type.
    void Meta(uint32_t tick, uint8_t type, const std::vector<uint8_t>& data);
    // The MTrk chunk, closed by an end-of-track event at the last tick.
    std::vector<uint8_t> Chunk() const;
    // Events added so far, end of track not counted.
    size_t Events() const { return events_; }

private:
    void Delta(uint32_t tick);
    std::vector<uint8_t> body_;
    uint32_t lastTick_ = 0;
    size_t events_ = 0;
};

// A type 1 file of these tracks, with `division` ticks a quarter note.
std::vector<uint8_t> MidiFileBytes(const std::vector<MidiTrack>& tracks, uint16_t division);
