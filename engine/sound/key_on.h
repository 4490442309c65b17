// Key-ons as the program makes them: each write of a non-zero value to the
// DSP's KON register, with what the keyed voices' registers held then.
#pragma once

#include <cstddef>
#include <cstdint>

struct KeyOnVoice {
    uint8_t srcn, adsr1, adsr2, gain;
    uint16_t pitch;  // 14 bits
    int8_t volL, volR;
};

struct KeyOn {
    uint64_t clock;  // CPU clocks since the snapshot started
    uint8_t kon;     // the value written: bit v keys voice v
    uint8_t dir;     // the directory page
    KeyOnVoice voices[8];
};

// Told of each key-on while the song runs (it must not take long).
class KeyOnListener {
public:
    virtual ~KeyOnListener() = default;
    // One key-on.
    virtual void OnKeyOn(const KeyOn& keyOn) = 0;
};

// Longest line FormatKeyOn writes, its newline included.
constexpr size_t kKeyOnLineBytes = 1024;

// One JSON line (newline-terminated) for a key-on: t (seconds, 6 decimals),
// sample (frames, 3 decimals), kon, dir and the keyed voices. Returns its length.
size_t FormatKeyOn(const KeyOn& keyOn, char (&line)[kKeyOnLineBytes]);
