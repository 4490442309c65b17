// How each kind of input becomes a sample set, from bytes the set owns.
// open_input.cpp chooses among them.
#pragma once

#include "engine/inputs/open_input.h"

// Scans opened.set.bytes as a ROM image: every run of at least minRun bytes
// is a sample, the first kMaxSamples of them kept.
void ReadRomSet(const InputOptions& options, OpenedInput& opened);
// Reads opened.set.bytes as an SPC snapshot, through its sample directory
// or, without one, by scanning its audio RAM like a ROM.
void ReadSpcSet(const InputOptions& options, OpenedInput& opened);
// Reads opened.set.bytes as a .brr instrument file: one sample.
void ReadBrrSet(OpenedInput& opened);

// Sets a failed status and its line; returns false for the caller to return.
bool Fail(OpenedInput& opened, OpenStatus status, const std::string& refusal);
// Appends a printf-style log text.
void Note(OpenedInput& opened, const char* format, ...) __attribute__((format(printf, 2, 3)));
