// Searches the loaded ROM image for runs of 9-byte BRR blocks.
#pragma once

// Walks the whole image once when a rip is pending, decoding every run
// whose span is at least minRunBytes, then reports the count.
void ScanRom();

#include <cstdint>

// Called for every qualifying run, after DecodeRun, with its bounds and
// whether a sample was stored for it. For listings; nullptr removes it.
using RunObserver = void (*)(uint32_t runStart, uint32_t runEnd, bool stored);
void SetRunObserver(RunObserver observer);
