// The formats a rip writes, one row each: a new format is a file with its
// writer and a row in the table (file_formats.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/files/whole_file.h"
#include "engine/formats/sample_rates.h"
#include "engine/formats/wav_header.h"
#include "engine/inputs/sample_set.h"

// What every writer is given besides the samples.
struct SongPlay;
struct MidiSongCounts;

struct WriteSettings {
    int32_t rate = kInitialFrequency;   // written into the files
    bool brrLoopHeader = false;         // BRR: a 2-byte loop offset before the blocks
    std::string bankName;               // a file of a whole set: the name it carries inside
    uint64_t maxWavPcm = kMaxWavDataBytes;  // the most PCM one WAVE file may hold
    const SongPlay* song = nullptr;     // SPC: the song played, for envelopes and MIDI
    MidiSongCounts* midiCounts = nullptr;  // MIDI: where the writer leaves what it wrote
};

struct FileFormat {
    const char* name;         // as --format takes it
    const char* extension;    // ".wav"
    const char* title;        // "WAVE file", for messages
    const char* description;  // what --help says of it
    // The whole file of one sample; nullptr for a format with one file per
    // set. May throw std::bad_alloc.
    std::vector<uint8_t> (*sampleImage)(const SampleSet& set, const SetSample& sample, const WriteSettings& settings);
    // Writes the samples, in order, into one open file; returns 0 or an
    // errno value. nullptr for a format that holds one sample a file.
    int (*writeSet)(const SampleSet& set, const std::vector<const SetSample*>& samples, const WriteSettings& settings,
                    OutputFile& file);
    // Why these samples cannot be written, as one line (empty when they
    // can), asked before anything is written; joined: all into one file,
    // shown. nullptr when nothing stops them.
    std::string (*refusal)(const SampleSet& set, const std::vector<const SetSample*>& samples,
                           const std::vector<std::string>& names, bool joined, const std::string& shown,
                           const WriteSettings& settings);
    // The log text after a folder of them is written; nullptr: the plain count.
    std::string (*folderNote)(unsigned written, const std::string& folder, const WriteSettings& settings);
    // The log text after one file of a set is saved; nullptr: its name alone.
    std::string (*savedNote)(const std::string& path, size_t samples, const WriteSettings& settings);

    // A file per sample (numbered), rather than one per set (named after the input).
    bool PerSample() const { return sampleImage != nullptr; }
};

// Every format, the default (wav) first.
const std::vector<FileFormat>& FileFormats();
// The format of this name; nullptr for none.
const FileFormat* FindFileFormat(const std::string& name);
