// The file a sample of a set is saved as: a WAVE file of its PCM (with the
// loop the chip plays and its pitch in a smpl chunk when known), its raw
// BRR blocks, or a SoundFont of it alone. A new format is a
// new SampleFormat and one more case in each function here.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/inputs/sample_set.h"

enum class SampleFormat { Wav, Brr, Sf2 };

struct FileFormat {
    SampleFormat format = SampleFormat::Wav;
    bool brrLoopHeader = false;  // BRR: a 2-byte loop offset before the blocks
    bool skipSilent = false;     // no file for a sample whose PCM is all zero
};

// ".wav", ".brr", ".sf2".
const char* FormatExtension(SampleFormat format);

// The whole file of one sample. May throw std::bad_alloc.
std::vector<uint8_t> SampleFileImage(const SampleSet& set, const SetSample& sample, const FileFormat& format,
                                     int32_t rate);

// Whether a sample's WAVE file carries a smpl chunk: when the chip
// decoder renders its loop.
bool HasSmplChunk(const SetSample& sample);

// Appends PCM as little-endian bytes.
void AppendPcm(std::vector<uint8_t>& out, const int16_t* pcm, size_t count);
