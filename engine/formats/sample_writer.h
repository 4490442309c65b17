// Saving a sample set: the names a rip writes, every file of a folder
// whole (written to temporary names, synced together, then renamed), or
// all samples in one WAVE file or one SoundFont written sample after sample.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/inputs/sample_set.h"
#include "engine/formats/sample_images.h"
#include "engine/files/whole_file.h"

struct PlannedFile {
    const SetSample* sample;
    std::string name;  // "12.wav", "1A.brr"
};

// What a rip of this set writes: one name per saved sample, less the
// silent ones when they are skipped.
struct RipPlan {
    std::vector<PlannedFile> files;
    unsigned skippedSilent = 0;
};
RipPlan PlanFiles(const SampleSet& set, const FileFormat& format);

// The planned samples, in order.
std::vector<const SetSample*> PlannedSamples(const RipPlan& plan);

// The PCM bytes of the planned samples back to back.
uint64_t PlannedPcmBytes(const SampleSet& set, const RipPlan& plan);

struct WriteOutcome {
    unsigned written = 0;
    int error = 0;            // errno (or kNotAFile) of the failure that ended it
    std::string failedPath;   // the file that failed
    bool Ok() const { return error == 0; }
};

// Writes the planned files into the folder, which must exist. The files
// written before a failure are kept; the failed one and later ones are not.
WriteOutcome WriteFolder(const SampleSet& set, const RipPlan& plan, const FileFormat& format,
                         const std::string& folder, int32_t rate);

// Writes the header, then each planned sample's PCM in turn, into an open
// file; holds one decoded sample at a time. Returns 0 or an errno value
// (ENOMEM when a sample could not be decoded); the caller finishes or
// abandons the file.
int WriteOneWav(const SampleSet& set, const RipPlan& plan, int32_t rate, OutputFile& file);

// Writes the planned samples as one SoundFont named bankName into an open
// file, holding one decoded sample at a time. The bank is to be checked
// first (CheckSoundFont of SoundFontSamplesOf). Returns 0 or an errno value
// (ENOMEM when a sample could not be decoded).
int WriteSoundFontFile(const SampleSet& set, const RipPlan& plan, int32_t rate, const std::string& bankName,
                       OutputFile& file);
