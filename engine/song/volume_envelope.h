// A SoundFont volume envelope standing for the chip's envelope setting.
// SoundFont players raise the attack linearly in amplitude and lower the
// decay and release linearly in decibels, 96 dB per decay or release time
// (the sound engine's range that FluidSynth follows; sustain 1000 cB is
// silence). One zone holds one such envelope, so the chip's two falling
// phases (decay, then sustain) become one fall: its hold, slope and floor
// are fitted to the chip's level over time.
#pragma once

#include <vector>

#include "engine/song/chip_envelope.h"
#include "engine/formats/soundfont.h"

struct VolumeEnvelope {
    double attack = 0;     // seconds, 0 to full
    double hold = 0;       // seconds at full
    double decay = 0;      // seconds for a 96 dB fall
    double sustainDb = 0;  // attenuation where the fall stops, 0..96 (96: silence)
    double release = 0;    // seconds for a 96 dB fall after key-off
};

// Below this, levels count as silence when envelopes are compared.
constexpr double kSilenceDb = -60;

// The envelope's level (0..1) t seconds after key-on, the key held.
double VolumeEnvelopeLevel(const VolumeEnvelope& envelope, double t);
// The chip's level (0..1) for setting, sampled at times (seconds, rising)
// after key-on; down modes start from full, as they sound when a driver
// switches to them during a note.
std::vector<double> ChipEnvelopeLevels(EnvelopeSetting setting, const std::vector<double>& times);
// The largest difference in dB (levels under kSilenceDb raised to it).
double LevelDifferenceDb(double a, double b);
// The envelope closest to the chip's over the first seconds after key-on.
VolumeEnvelope VolumeEnvelopeOf(EnvelopeSetting setting);
// delayVolEnv .. releaseVolEnv as an instrument zone's generators.
std::vector<SoundFontGenerator> VolumeEnvelopeGenerators(const VolumeEnvelope& envelope);
