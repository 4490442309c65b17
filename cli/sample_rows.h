// The rows of list and the report: every sample of a set with its
// offsets, size, loop, silence and addresses, as JSON or as a table.
#pragma once

#include <cstdint>

#include "cli/ordered_json.h"
#include "cli/sample_options.h"

// decoder, mapping, copierHeader, and for SPCs directory and directorySource.
void AddSetFields(const SampleSet& set, OrderedJson& listing);

// One sample: number, start, end, blocks, stored, bytes, seconds, loop,
// silent, snesStart, snesEnd, peak, padding, loopPasses, loopStable,
// tuning, file, notStored; for directory entries index, aramStart,
// aramLoop, aramEnd, loopStartSample, loopIsOffset, sameAs; for ROM runs
// aramStart, aramLoop, aramEnd, loopStartSample, loopIsOffset, loopSource
// and loopUnknownReason.
OrderedJson SampleJson(const SampleSet& set, const SetSample& sample, int32_t rate);

// The listing's first line: what the input is and how it is read.
std::string SetHeadline(const SampleSet& set);

struct SongPlay;

// The table of list; with a song played, directory entries show their key-ons and envelope.
void PrintSetTable(const SampleSet& set, int32_t rate, const SongPlay* song = nullptr);
