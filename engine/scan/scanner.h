// Searches the loaded ROM image for runs of 9-byte BRR blocks.
#pragma once

// Walks the whole image once when a rip is pending, decoding every run
// whose span is at least minRunBytes, then reports the count.
void ScanRom();

#include <cstdint>
#include <functional>

#include "engine/brr/brr_decoder.h"

// A qualifying run: offsets of its first and its end block header.
struct FoundRun {
    uint32_t start;
    uint32_t end;
};
using RunFound = std::function<void(const FoundRun& run)>;
// Called once each time the scan passes another whole percent of the image.
using ScanStep = std::function<void(uint32_t scanPos, uint32_t percent)>;

// Searches size bytes at data for runs whose span is at least minRun (0:
// every attempt counts) and hands each to onRun, in image order; the search
// goes on after each run's end block. Returns where the scan ended.
uint32_t FindRuns(const uint8_t* data, uint32_t size, uint32_t minRun, const RunFound& onRun, const ScanStep& onStep);

// Called for every qualifying run, after DecodeRun, with its bounds and
// what became of it. For listings; nullptr removes it.
using RunObserver = void (*)(uint32_t runStart, uint32_t runEnd, RunOutcome outcome);
void SetRunObserver(RunObserver observer);
