#include "cli/sample_files.h"

#include <cerrno>
#include <cstring>

#include "cli/native_path.h"
#include "cli/standard_output.h"
#include "core/file_system.h"
#include "core/little_endian.h"
#include "output/brr_export.h"
#include "output/wav_file.h"
#include "output/wav_header.h"
#include "output/wav_loop.h"
#include "ui/log.h"

namespace {

void AppendPcm(std::vector<uint8_t>& out, const std::vector<int16_t>& pcm) {
    size_t at = out.size();
    out.resize(at + pcm.size() * 2);
    for (int16_t value : pcm) {
        PutLe16(out.data() + at, static_cast<uint16_t>(value));
        at += 2;
    }
}

// Writes the bytes whole or not at all (output/wav_file.h: a temporary
// file beside path, renamed over it when complete).
bool WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes, SaveOutcome& outcome) {
    OutputFile file;
    int error = OpenOutput(path, file);
    if (!error) {
        if (WriteOutput(file, bytes.data(), bytes.size())) {
            error = FinishOutput(file);
        } else {
            error = file.error;
            AbandonOutput(file);
        }
    }
    if (!error) return true;
    outcome.ok = false;
    outcome.failedPath = path;
    outcome.reason = std::strerror(error);
    LogPrint("\r\nCan't write file %s.", path.c_str());
    return false;
}

uint32_t LoopOffsetBytes(const SetSample& sample) {
    if (!sample.fromDirectory || !sample.spc.LoopKnown()) return 0;
    return sample.spc.loopAddress - sample.spc.start;
}

bool SkipsSilent(const SampleOptions& options, const SetSample& sample) {
    return options.skipSilent && sample.silent == 1;
}

}  // namespace

std::vector<uint8_t> SampleWavFile(const SampleSet& set, const SetSample& sample, int32_t rate) {
    std::vector<int16_t> pcm;
    set.Decode(sample, pcm);
    uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
    const uint8_t* header = BuildWavHeader(dataBytes, rate);
    std::vector<uint8_t> file(header, header + kWavHeaderSize);
    file.reserve(kWavHeaderSize + dataBytes + kSmplChunkBytes);
    AppendPcm(file, pcm);
    if (sample.fromDirectory && sample.spc.LoopKnown() && !pcm.empty()) {
        uint8_t chunk[kSmplChunkBytes];
        BuildSmplChunk(chunk, rate, sample.spc.LoopStartSample(), static_cast<uint32_t>(pcm.size() - 1));
        GrowRiffSize(file.data(), kSmplChunkBytes);
        file.insert(file.end(), chunk, chunk + kSmplChunkBytes);
    }
    return file;
}

SaveOutcome SaveSetFiles(const SampleSet& set, const SampleOptions& options, const std::string& directory,
                         int32_t rate) {
    SaveOutcome outcome;
    MakeDirectory(directory);  // an existing one is fine; a failure shows at the first file
    const char* extension = options.brrFormat ? ".brr" : ".wav";
    for (const SetSample& sample : set.samples) {
        if (!set.Saved(sample)) continue;
        if (SkipsSilent(options, sample)) {
            ++outcome.skippedSilent;
            continue;
        }
        std::string path = NativeFromPath(PathFromNative(directory) / (set.BaseName(sample) + extension));
        std::vector<uint8_t> bytes =
            options.brrFormat ? BuildBrrFile(set.Blocks(sample).data(), sample.blocks, options.brrLoopHeader,
                                             LoopOffsetBytes(sample))
                              : SampleWavFile(set, sample, rate);
        if (!WriteWhole(path, bytes, outcome)) break;
        ++outcome.written;
    }
    if (options.brrFormat) {
        LogPrint("\r\nWrote %d .brr files in directory %s.", static_cast<int>(outcome.written), directory.c_str());
    } else {
        LogPrint("\r\nWrote %d .wav files in directory %s at frequency %d.", static_cast<int>(outcome.written),
                 directory.c_str(), static_cast<int>(rate));
    }
    if (outcome.skippedSilent > 0)
        LogPrint("\r\nSkipped %d silent samples.", static_cast<int>(outcome.skippedSilent));
    return outcome;
}

uint64_t SetOneFilePcmBytes(const SampleSet& set, const SampleOptions& options) {
    uint64_t total = 0;
    for (const SetSample& sample : set.samples)
        if (set.Saved(sample) && !SkipsSilent(options, sample)) total += set.PcmBytes(sample);
    return total;
}

SaveOutcome SaveSetOneFile(const SampleSet& set, const SampleOptions& options, const std::string& path, int32_t rate) {
    SaveOutcome outcome;
    std::vector<uint8_t> file(kWavHeaderSize);
    std::vector<int16_t> pcm;
    for (const SetSample& sample : set.samples) {
        if (!set.Saved(sample)) continue;
        if (SkipsSilent(options, sample)) {
            ++outcome.skippedSilent;
            continue;
        }
        if (set.Decode(sample, pcm)) AppendPcm(file, pcm);
    }
    const uint8_t* header = BuildWavHeader(static_cast<uint32_t>(file.size() - kWavHeaderSize), rate);
    std::copy(header, header + kWavHeaderSize, file.begin());
    if (path == kStandardOutputPath) {
        WriteOut(file.data(), file.size());
        if (int error = FinishOut()) {
            outcome.ok = false;
            outcome.reason = std::strerror(error);
        } else {
            outcome.written = 1;
        }
    } else if (WriteWhole(path, file, outcome)) {
        outcome.written = 1;
        LogPrint("\r\nSaved %s.", path.c_str());
    }
    return outcome;
}
