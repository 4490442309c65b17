// Searches the loaded ROM image for runs of 9-byte BRR blocks.
#pragma once

// Walks the whole image once when a rip is pending, decoding every run
// whose span is at least minRunBytes, then reports the count.
void ScanRom();

#include <cstdint>

#include "core/brr_decoder.h"

// Called for every qualifying run, after DecodeRun, with its bounds and
// what became of it. For listings; nullptr removes it.
using RunObserver = void (*)(uint32_t runStart, uint32_t runEnd, RunOutcome outcome);
void SetRunObserver(RunObserver observer);
