#include "engine/formats/sample_writer.h"

#include <cerrno>
#include <new>

#include "engine/files/file_system.h"
#include "engine/log/log_sink.h"
#include "engine/inputs/sample_reader.h"
#include "engine/formats/sample_soundfont.h"
#include "engine/formats/wav_header.h"

namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "\\/";
#else
constexpr const char* kSeparators = "/";
#endif

std::string InFolder(const std::string& folder, const std::string& name) {
    if (!folder.empty() && std::string(kSeparators).find(folder.back()) != std::string::npos) return folder + name;
    return folder + kSeparators[0] + name;
}

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
                LogPrint("\r\nCan't write file %s.", file.target.c_str());
            }
            continue;
        }
        ++named;
    }
    if (named > 0) SyncDirectory(folder);
    return named;
}

}  // namespace

RipPlan PlanFiles(const SampleSet& set, const FileFormat& format) {
    RipPlan plan;
    for (const SetSample& sample : set.samples) {
        if (!set.Saved(sample)) continue;
        if (format.skipSilent && sample.silent == 1) {
            ++plan.skippedSilent;
            continue;
        }
        plan.files.push_back({&sample, set.BaseName(sample) + FormatExtension(format.format)});
    }
    return plan;
}

std::vector<const SetSample*> PlannedSamples(const RipPlan& plan) {
    std::vector<const SetSample*> samples;
    for (const PlannedFile& file : plan.files) samples.push_back(file.sample);
    return samples;
}

uint64_t PlannedPcmBytes(const SampleSet& set, const RipPlan& plan) {
    uint64_t total = 0;
    for (const PlannedFile& file : plan.files) total += set.PcmBytes(*file.sample);
    return total;
}

WriteOutcome WriteFolder(const SampleSet& set, const RipPlan& plan, const FileFormat& format,
                         const std::string& folder, int32_t rate) {
    WriteOutcome outcome;
    std::vector<OutputFile> complete;
    for (const PlannedFile& planned : plan.files) {
        std::string path = InFolder(folder, planned.name);
        OutputFile file;
        int error = 0;
        try {
            error = WritePending(SampleFileImage(set, *planned.sample, format, rate), path, file);
        } catch (const std::bad_alloc&) {
            AbandonOutput(file);
            error = ENOMEM;
        }
        if (error) {
            outcome.error = error;
            outcome.failedPath = path;
            LogPrint("\r\nCan't write file %s.", path.c_str());
            break;
        }
        complete.push_back(file);
    }
    outcome.written = CommitAll(complete, folder, outcome);
    if (format.format != SampleFormat::Wav) {
        LogPrint("\r\nWrote %d %s files in directory %s.", static_cast<int>(outcome.written),
                 FormatExtension(format.format), folder.c_str());
    } else {
        LogPrint("\r\nWrote %d .wav files in directory %s at frequency %d.", static_cast<int>(outcome.written),
                 folder.c_str(), static_cast<int>(rate));
    }
    if (plan.skippedSilent > 0) LogPrint("\r\nSkipped %d silent samples.", static_cast<int>(plan.skippedSilent));
    return outcome;
}

int WriteOneWav(const SampleSet& set, const RipPlan& plan, int32_t rate, OutputFile& file) {
    uint64_t total = PlannedPcmBytes(set, plan);
    if (!FitsOneWavFile(total)) return EFBIG;
    if (!WriteOutput(file, BuildWavHeader(static_cast<uint32_t>(total), rate), kWavHeaderSize)) return file.error;
    try {
        std::vector<int16_t> pcm(1 << 16);
        std::vector<uint8_t> bytes;
        for (const PlannedFile& planned : plan.files) {
            SampleReader reader(set, *planned.sample);
            for (uint32_t got; (got = reader.Read(pcm.data(), static_cast<uint32_t>(pcm.size()))) > 0;) {
                bytes.clear();
                AppendPcm(bytes, pcm.data(), got);
                if (!WriteOutput(file, bytes.data(), bytes.size())) return file.error;
            }
        }
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
    return 0;
}

int WriteSoundFontFile(const SampleSet& set, const RipPlan& plan, int32_t rate, const std::string& bankName,
                       OutputFile& file) {
    SoundFontError error;
    try {
        error = WriteSetSoundFont(set, PlannedSamples(plan), rate, bankName, [&file](const uint8_t* data, size_t bytes) {
            return WriteOutput(file, data, bytes);
        });
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
    switch (error) {
    case SoundFontError::None: return 0;
    case SoundFontError::WriteFailed: return file.error;
    case SoundFontError::PcmFailed: return ENOMEM;
    default: return EINVAL;
    }
}
