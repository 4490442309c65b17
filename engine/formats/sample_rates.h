// The rates a sample can be played and saved at, as the Samples window
// and the report page offer them, and the initial one among them.
#pragma once

#include <cstdint>

constexpr int kInitialFrequency = 8000;
constexpr unsigned kRateCount = 10;
constexpr int32_t kRates[kRateCount] = {5500, 6000, 7333, 8000, 11025, 16000, 22050, 32000, 44100, 48000};
