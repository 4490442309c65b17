// The files rip writes from a sample set: one WAV (with its loop in a
// smpl chunk when known) or raw BRR file per saved sample, or one WAV of
// them all.
#pragma once

#include <cstdint>
#include <string>

#include "cli/sample_set.h"

struct SaveOutcome {
    unsigned written = 0;
    unsigned skippedSilent = 0;
    bool ok = true;
    std::string failedPath;  // when !ok
    std::string reason;      // the system's reason, when !ok
};

// Writes every saved sample into directory (created when missing).
SaveOutcome SaveSetFiles(const SampleSet& set, const SampleOptions& options, const std::string& directory,
                         int32_t rate);

// PCM bytes the one file of SaveSetOneFile would hold.
uint64_t SetOneFilePcmBytes(const SampleSet& set, const SampleOptions& options);

// Writes every saved sample back to back behind one header into path, or
// to standard output when path is kStandardOutputPath.
SaveOutcome SaveSetOneFile(const SampleSet& set, const SampleOptions& options, const std::string& path, int32_t rate);

// The whole WAV file of one sample: header, PCM, and a smpl chunk when
// its loop point is known.
std::vector<uint8_t> SampleWavFile(const SampleSet& set, const SetSample& sample, int32_t rate);
