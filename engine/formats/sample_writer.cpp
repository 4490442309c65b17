#include "engine/formats/sample_writer.h"

#include <cerrno>
#include <new>

#include "engine/files/file_system.h"
#include "engine/log/log_sink.h"
#include "engine/files/path_names.h"
#include "engine/log/shown_text.h"

namespace {

// Writes one file to its temporary name, closed but not yet synced.
int WritePending(const std::vector<uint8_t>& bytes, const std::string& path, OutputFile& file) {
    // A pipe or device there would block the rip or swallow the sample.
    if (int error = OpenOutput(path, file, false)) return error;
    if (!WriteOutput(file, bytes.data(), bytes.size())) {
        int error = file.error;
        AbandonOutput(file);
        return error;
    }
    return CloseUnsynced(file);
}

// Syncs the complete files together, then gives each its name. Returns
// how many were named; a failure is recorded in outcome.
unsigned CommitAll(std::vector<OutputFile>& files, const std::string& folder, WriteOutcome& outcome) {
    std::vector<std::string> temps;
    for (const OutputFile& file : files) temps.push_back(file.temp);
    int error = SyncClosedFiles(temps);
    unsigned named = 0;
    for (OutputFile& file : files) {
        if (!error) error = CommitOutput(file);
        if (error) {
            AbandonOutput(file);
            if (outcome.error == 0) {
                outcome.error = error;
                outcome.failedPath = file.target;
                LogPrint("\r\nCan't write file %s.", ShownText(file.target).c_str());
            }
            continue;
        }
        ++named;
    }
    if (named > 0) SyncDirectory(folder);
    return named;
}

}  // namespace

RipPlan PlanFiles(const SampleSet& set, const FileFormat& format, bool skipSilent) {
    RipPlan plan;
    for (const SetSample& sample : set.samples) {
        if (!set.Saved(sample)) continue;
        if (skipSilent && sample.measures.silent == 1) {
            ++plan.skippedSilent;
            continue;
        }
        plan.files.push_back({&sample, set.BaseName(sample) + format.extension});
    }
    return plan;
}

std::vector<const SetSample*> PlannedSamples(const RipPlan& plan) {
    std::vector<const SetSample*> samples;
    for (const PlannedFile& file : plan.files) samples.push_back(file.sample);
    return samples;
}

WriteOutcome WriteFolder(const SampleSet& set, const RipPlan& plan, const FileFormat& format,
                         const WriteSettings& settings, const std::string& folder) {
    WriteOutcome outcome;
    std::vector<OutputFile> complete;
    for (const PlannedFile& planned : plan.files) {
        std::string path = InFolder(folder, planned.name);
        OutputFile file;
        int error = 0;
        try {
            error = WritePending(format.sampleImage(set, *planned.sample, settings), path, file);
        } catch (const std::bad_alloc&) {
            AbandonOutput(file);
            error = ENOMEM;
        }
        if (error) {
            outcome.error = error;
            outcome.failedPath = path;
            LogPrint("\r\nCan't write file %s.", ShownText(path).c_str());
            break;
        }
        complete.push_back(file);
    }
    outcome.written = CommitAll(complete, folder, outcome);
    if (format.folderNote) {
        LogPrint("%s", format.folderNote(outcome.written, folder, settings).c_str());
    } else {
        LogPrint("\r\nWrote %d %s files in directory %s.", static_cast<int>(outcome.written), format.extension,
                 ShownText(folder).c_str());
    }
    if (plan.skippedSilent > 0) LogPrint("\r\nSkipped %d silent samples.", static_cast<int>(plan.skippedSilent));
    return outcome;
}
