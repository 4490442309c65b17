// Fixed tables of the sound chip's DSP.
#pragma once

#include <cstdint>

// Interpolation weights: 512 entries, read forward and backward.
extern const int16_t kDspGaussTable[512];

// Steps of the global rate counter between two firings of each rate (0..31).
extern const uint16_t kDspRatePeriod[32];

// Where in the counter's cycle each rate fires.
extern const uint16_t kDspRateOffset[32];

// Values the global rate counter steps through, once per frame.
constexpr int32_t kDspCounterRange = 30720;

// For each value of the rate counter, bit r set when rate r fires then
// (saves a division per voice and frame).
const uint32_t* DspRatesFiring();
