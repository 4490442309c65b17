// The pitch of a looped sample. A stable loop of L samples repeats
// exactly, so its spectrum holds only multiples of rate / L; the
// instrument's tone is the k-th of them, where k is the number of the
// instrument's periods in the loop. Finding k is finding the largest
// spacing of spectral lines that still carries the loop's energy.
#pragma once

#include <cstdint>

struct Tuning {
    double hz = 0;
    double midi = 0;     // fractional MIDI note: 69 is 440 Hz
    int note = 0;        // nearest MIDI note (may lie outside 0..127)
    double cents = 0;    // from that note, -50..50
    uint32_t periods = 0;  // k: the instrument's periods in the loop
    // Share of the loop's energy (beside its mean) in the tone's
    // harmonics: near 1 for a clear tone, low for noise.
    double harmonicShare = 0;
};

// Estimates the pitch of a loop of `length` samples played at rate;
// false when it has no tone (silent or constant).
bool EstimateLoopTuning(const int16_t* loop, uint32_t length, double rate, Tuning& tuning);

// The tuning of a frequency in Hz (above 0).
Tuning TuningOfHz(double hz);

// For a WAVE smpl chunk: the unity note is the floor of the fractional
// note, the pitch fraction the rest in units of 2^-32; both kept to the
// MIDI range.
struct SmplPitch {
    uint32_t unityNote = 60;
    uint32_t pitchFraction = 0;
};
SmplPitch SmplPitchOf(const Tuning& tuning);

// For a SoundFont sample header: the nearest key, and the correction in
// cents that brings the sample onto it; both kept to the format's range.
struct KeyPitch {
    uint8_t rootKey = 60;
    int8_t correction = 0;
};
KeyPitch KeyPitchOf(const Tuning& tuning);
