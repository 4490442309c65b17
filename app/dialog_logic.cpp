#include "app/dialog_logic.h"

#include "app/app_state.h"
#include "app/log.h"

namespace {
constexpr unsigned kDefaultRateRadio = 3;  // 8000 Hz
}

unsigned RateRadioIndex(int32_t rate) {
    for (unsigned k = 0; k < kRateCount; ++k)
        if (kRates[k] == rate) return k;
    return kDefaultRateRadio;
}

void SamplesSelectRate(unsigned radioIndex) {
    if (radioIndex >= kRateCount) return;
    app.frequency = kRates[radioIndex];
    LogPrint("\r\nFrequency set to %dhz.", static_cast<int>(app.frequency));
}

void SamplesSetLoop(bool looped) {
    app.loopPlayback = looped ? 1 : 0;
    LogPrint(looped ? "\r\nSamples will loop." : "\r\nSamples won't loop.");
}

void SamplesJump(int number) {
    if (number < 1 || static_cast<uint32_t>(number) > app.sampleCount) {
        LogPrint("\r\nInvalid sample #.  The last sample is %d.", static_cast<int>(app.sampleCount));
        return;
    }
    app.currentSample = static_cast<uint32_t>(number);
    LogPrint("\r\nJumped to sample %d.", number);
}

void OptionsStoreMinRun(int value) { app.minRunBytes = value; }
