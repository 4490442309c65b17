// What the Options dialog and the Samples window do with the user's input,
// apart from the window system.
#pragma once

#include <cstdint>

// Samples window
// Index of the radio that shows this rate (the 8000 Hz radio for any other rate).
unsigned RateRadioIndex(int32_t rate);
void SamplesSelectRate(unsigned radioIndex);
void SamplesSetLoop(bool looped);
void SamplesJump(int number);

// Options dialog: stores the value read from its edit.
void OptionsStoreMinRun(int value);
