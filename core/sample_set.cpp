#include "core/sample_set.h"

#include <algorithm>
#include <cstdio>

#include "core/app_state.h"
#include "core/brr_chip_decoder.h"
#include "core/brr_decoder.h"
#include "core/scanner.h"
#include "core/stream_loops.h"

namespace {

bool IsSilentPcm(const std::vector<int16_t>& pcm) { return IsSilent(pcm.data(), pcm.size()); }

void MarkSilent(SampleSet& set) {
    std::vector<int16_t> pcm;
    for (SetSample& sample : set.samples)
        if (sample.silent < 0 && set.Decode(sample, pcm)) sample.silent = IsSilentPcm(pcm) ? 1 : 0;
}

// No directory: the audio RAM is searched like a ROM image and each run
// becomes a numbered sample, as many as a ROM's table keeps.
void ScanAram(SampleSet& set, uint32_t minRun, SpcReading& reading) {
    FindRuns(set.aram.data(), kAramBytes, minRun, [&](const FoundRun& run) {
        ++reading.scannedRuns;
        if (set.samples.size() >= kMaxSamples) {
            reading.tableFull = true;
            return;
        }
        SetSample sample{};
        sample.number = static_cast<uint32_t>(set.samples.size()) + 1;
        sample.dataStart = run.start;
        sample.blocks = BlocksInRun(run.start, run.end);
        sample.loop = (set.aram[run.end] & kLoopFlag) != 0;
        set.samples.push_back(sample);
    }, nullptr);
}

// Where the transfer streams put each run, in the fields an SPC entry uses.
void AddStreamLoops(const uint8_t* image, uint32_t size, SampleSet& set) {
    std::vector<RunSpan> spans;
    spans.reserve(set.samples.size());
    for (const SetSample& sample : set.samples) spans.push_back({sample.dataStart, sample.DataEnd()});
    std::vector<RunAram> found = FindRunAram(image, size, spans);
    for (size_t k = 0; k < found.size(); ++k) {
        const RunAram& run = found[k];
        SetSample& sample = set.samples[k];
        sample.hasAram = run.hasAram;
        sample.named = run.named;
        sample.loopUnknownReason = run.unknownReason;
        sample.spc.start = run.aramStart;
        sample.spc.end = run.aramEnd;
        sample.spc.loop = run.named ? run.loop : LoopKind::None;
        sample.spc.loopAddress = run.aramLoop;
        sample.spc.loopWord = static_cast<uint16_t>(run.loopIsOffset ? run.aramLoop - run.aramStart : run.aramLoop);
        sample.spc.sameAs = -1;
    }
}

}  // namespace

uint32_t SetSample::LoopOffsetBytes() const {
    if (!spc.LoopKnown()) return 0;
    return spc.loopAddress - spc.start;
}

// The decoder is chosen here and nowhere else: every size and every PCM
// the front ends and savers see comes through PcmBytes and Decode.
uint64_t SampleSet::PcmBytes(const SetSample& sample) const {
    switch (decoder) {
    case DecoderKind::Chip: return uint64_t{sample.blocks} * kSamplesPerBlock * 2;
    case DecoderKind::Spec: return sample.stored ? sample.specBytes : 0;
    }
    return 0;
}

bool SampleSet::Decode(const SetSample& sample, std::vector<int16_t>& pcm) const {
    switch (decoder) {
    case DecoderKind::Chip: {
        pcm.resize(static_cast<size_t>(sample.blocks) * kSamplesPerBlock);
        std::vector<uint8_t> blocks = Blocks(sample);
        DecodeBrrChip(blocks.data(), sample.blocks, pcm.data());
        return true;
    }
    case DecoderKind::Spec:
        if (!sample.stored) return false;
        pcm.resize(sample.specBytes / 2);
        DecodeSpecRun(data, sample.dataStart, sample.DataEnd(), pcm.data(), static_cast<uint32_t>(pcm.size()));
        return true;
    }
    return false;
}

std::vector<uint8_t> SampleSet::Blocks(const SetSample& sample) const {
    std::vector<uint8_t> blocks(static_cast<size_t>(sample.blocks) * kBlockBytes, 0);
    size_t available = std::min<size_t>(blocks.size(), dataSize - sample.dataStart);
    std::copy(data + sample.dataStart, data + sample.dataStart + available, blocks.begin());
    return blocks;
}

std::string SampleSet::BaseName(const SetSample& sample) const {
    // ROM files are numbered by table slot, as the ripper saves them.
    if (!sample.fromDirectory) return std::to_string(isSpc ? sample.number : sample.slot + 1);
    char name[8];
    std::snprintf(name, sizeof name, "%02X", static_cast<unsigned>(sample.spc.index));
    return name;
}

bool SampleSet::Saved(const SetSample& sample) const {
    if (sample.fromDirectory) return sample.spc.sameAs < 0;
    return isSpc || sample.stored;
}

void BuildRomSet(const std::string& path, const uint8_t* image, uint32_t size, const std::vector<ScannedRun>& runs,
                 DecoderKind decoder, SampleSet& set) {
    set.path = path;
    set.decoder = decoder;
    set.data = image;
    set.dataSize = image ? size : 0;
    if (image) set.layout = DetectRomLayout(image, size);
    for (const ScannedRun& run : runs) {
        SetSample sample{};
        sample.number = static_cast<uint32_t>(set.samples.size()) + 1;
        sample.dataStart = run.start;
        sample.blocks = BlocksInRun(run.start, run.end);
        sample.loop = run.loop;
        sample.stored = run.Stored();
        sample.slot = run.slot;
        sample.notStored = run.NotStoredReason();
        sample.specBytes = run.Stored() ? run.bytes : 0;
        // The scan noted the specified decoder's silence as it decoded.
        if (sample.stored && decoder == DecoderKind::Spec) sample.silent = run.silent;
        if (run.outcome == RunOutcome::kNoMemory) set.memoryDropped = true;
        set.samples.push_back(sample);
    }
    if (image) AddStreamLoops(image, size, set);
    MarkSilent(set);
}

SpcReading ReadSpcSet(const std::string& path, const std::vector<uint8_t>& file, uint32_t minRun, SampleSet& set) {
    SpcReading reading;
    if (file.size() < kSpcMinFileBytes) {
        reading.cutShort = true;
        return reading;
    }
    set.path = path;
    set.isSpc = true;
    set.decoder = DecoderKind::Chip;
    set.aram.assign(file.begin() + kSpcAramOffset, file.begin() + kSpcAramOffset + kAramBytes);
    set.data = set.aram.data();
    set.dataSize = kAramBytes;
    set.fileBias = kSpcAramOffset;
    set.directory = FindSampleDirectory(set.aram.data(), file.data() + kSpcDspOffset);
    if (set.directory.source == DirectorySource::Scan) {
        ScanAram(set, minRun, reading);
    } else {
        for (const SpcSample& entry : set.directory.samples) {
            SetSample sample{};
            sample.number = static_cast<uint32_t>(set.samples.size()) + 1;
            sample.dataStart = entry.start;
            sample.blocks = entry.Blocks();
            sample.loop = entry.loop != LoopKind::None;
            sample.fromDirectory = true;
            sample.spc = entry;
            set.samples.push_back(sample);
        }
    }
    MarkSilent(set);
    return reading;
}
