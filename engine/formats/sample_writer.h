// Saving a sample set as a folder of files, one per sample: the names a rip
// writes, and every file of the folder whole (written to temporary names,
// synced together, then renamed).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/inputs/sample_set.h"
#include "engine/formats/file_formats.h"
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
RipPlan PlanFiles(const SampleSet& set, const FileFormat& format, bool skipSilent);

// The planned samples, in order.
std::vector<const SetSample*> PlannedSamples(const RipPlan& plan);

struct WriteOutcome {
    unsigned written = 0;
    int error = 0;            // errno (or kNotAFile) of the failure that ended it
    std::string failedPath;   // the file that failed
    bool Ok() const { return error == 0; }
};

// Writes the planned files into the folder, which must exist. The files
// written before a failure are kept; the failed one and later ones are not.
WriteOutcome WriteFolder(const SampleSet& set, const RipPlan& plan, const FileFormat& format,
                         const WriteSettings& settings, const std::string& folder);
