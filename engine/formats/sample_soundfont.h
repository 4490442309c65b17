// A sample set as one SoundFont: each sample an instrument at the file's
// rate, looped as the chip repeats it and rooted on the key its tuning
// names. The PCM streams through one sample's reader at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/formats/file_formats.h"
#include "engine/inputs/sample_set.h"
#include "engine/formats/soundfont.h"

// What the bank says of each sample, in the order given. Preset names are
// the samples' file names without extension: row numbers, directory indexes.
// With a song played, each preset has the envelope its entry was keyed with most.
std::vector<SoundFontSample> SoundFontSamplesOf(const SampleSet& set, const std::vector<const SetSample*>& samples,
                                                int32_t rate, const SongPlay* song = nullptr);

// Writes the bank of these samples to sink. May throw std::bad_alloc.
SoundFontError WriteSetSoundFont(const SampleSet& set, const std::vector<const SetSample*>& samples, int32_t rate,
                                 const std::string& bankName, const SoundFontSink& sink,
                                 const SongPlay* song = nullptr);

// The format's writer: the samples as one SoundFont named settings.bankName
// into an open file, holding one decoded sample at a time. Returns 0 or an
// errno value (ENOMEM when a sample could not be decoded).
int WriteSoundFontFile(const SampleSet& set, const std::vector<const SetSample*>& samples,
                       const WriteSettings& settings, OutputFile& file);
// A bank the format cannot describe.
std::string RefuseSoundFont(const SampleSet& set, const std::vector<const SetSample*>& samples,
                            const std::vector<std::string>& names, bool joined, const std::string& shown,
                            const WriteSettings& settings);
// "Saved PATH with N samples at frequency R."
std::string SoundFontNote(const std::string& path, size_t samples, const WriteSettings& settings);
