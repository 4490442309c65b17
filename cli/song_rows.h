// What the song's run adds to the rows of list and the report: each
// directory entry's key-ons, envelope and notes, and a summary of the run.
#pragma once

#include <string>

#include "cli/ordered_json.h"
#include "engine/inputs/sample_set.h"
#include "engine/song/song_play.h"

// keyOns, firstKeyOn, envelope, envelopes and notes of a directory entry,
// and songCents and agrees in its tuning; notes and agreement from the
// loop's tuning at the chip's 32000 Hz, whatever --rate says.
void AddSongFields(const SampleSet& set, const SetSample& sample, const SongPlay& song, OrderedJson& row);
// The run as the listing's "play": seconds, keyOns, entriesKeyed.
OrderedJson SongSummaryJson(const SongPlay& song);
// One line saying how long the song ran and what it keyed.
std::string SongSummaryLine(const SongPlay& song);
// Rows for the entries the song keyed outside the listed directory:
// index, dir, directorySource "playback", aramStart, aramLoop, aramEnd,
// loopIsOffset and the song's fields.
void AddPlaybackRows(const SampleSet& set, const SongPlay& song, OrderedJson& samples);
// Their lines under the table.
void PrintPlaybackLines(const SampleSet& set, const SongPlay& song);
// The table's keys and envelope columns of an entry ("-" when never keyed).
std::string SongColumns(const SetSample& sample, const SongPlay& song);
// Their headings, aligned with SongColumns.
std::string SongColumnHeadings();
