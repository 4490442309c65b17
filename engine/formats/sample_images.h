// The WAVE and BRR files of a set's samples: a WAVE file of a sample's PCM
// (with the loop the chip plays and its pitch in a smpl chunk when known)
// or of all the samples back to back, and a sample's raw BRR blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/formats/file_formats.h"

// One sample's WAVE file. May throw std::bad_alloc.
std::vector<uint8_t> WavImage(const SampleSet& set, const SetSample& sample, const WriteSettings& settings);
// One sample's blocks, with the loop header when the settings ask for it.
std::vector<uint8_t> BrrImage(const SampleSet& set, const SetSample& sample, const WriteSettings& settings);

// Writes the header, then each sample's PCM in turn, into an open file;
// holds one decoded sample at a time. Returns 0 or an errno value (ENOMEM
// when a sample could not be decoded).
int WriteJoinedWav(const SampleSet& set, const std::vector<const SetSample*>& samples, const WriteSettings& settings,
                   OutputFile& file);
// A WAVE file that would hold more PCM than its header can describe.
std::string RefuseLargeWav(const SampleSet& set, const std::vector<const SetSample*>& samples,
                           const std::vector<std::string>& names, bool joined, const std::string& shown,
                           const WriteSettings& settings);
// "Wrote N .wav files in directory D at frequency R."
std::string WavFolderNote(unsigned written, const std::string& folder, const WriteSettings& settings);

// Whether a sample's WAVE file carries a smpl chunk: when the chip
// decoder renders its loop.
bool HasSmplChunk(const SetSample& sample);

// Appends PCM as little-endian bytes.
void AppendPcm(std::vector<uint8_t>& out, const int16_t* pcm, size_t count);
