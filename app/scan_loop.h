// The window's idle-time scan: the loaded image searched for runs, each
// one decoded by the program's own decoder into the next table slot.
#pragma once

#include <cstdint>

// What became of a run handed to DecodeRun.
enum class RunOutcome {
    kStored,     // in the next slot of the sample table
    kTableFull,  // every slot was taken
    kNoMemory,   // no buffer could be had (or none could be that large)
};

// Walks the whole image once when a rip is pending, decoding every run
// whose span is at least minRunBytes, then reports the count.
void ScanRom();

// Decodes app.runStart..app.runEnd of app.romData into the next slot of
// the sample table.
RunOutcome DecodeRun();

// Called for every qualifying run, after DecodeRun, with its bounds and
// what became of it. For tests and fuzzers; nullptr removes it.
using RunObserver = void (*)(uint32_t runStart, uint32_t runEnd, RunOutcome outcome);
void SetRunObserver(RunObserver observer);
