#include "core/sample_set.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

#include "core/app_state.h"
#include "core/brr_chip_decoder.h"
#include "core/brr_decoder.h"
#include "core/sample_stats.h"
#include "core/scanner.h"
#include "core/stream_loops.h"

namespace {

// The rate tunings are found at; a tuning at another rate scales with it.
constexpr double kTuningRate = 32000;

// Plans how the chip repeats a known loop, before any PCM is decoded, so
// that every size reported and written is the rendering's.
void PlanLoop(const SampleSet& set, SetSample& sample) {
    sample.chipLoop = set.decoder == DecoderKind::Chip && sample.loopKnown && sample.loopBlock < sample.blocks;
    if (!sample.chipLoop) return;
    std::vector<uint8_t> blocks = set.Blocks(sample);
    sample.loopPlan = PlanChipLoop(blocks.data(), sample.blocks, sample.loopBlock);
}

// The instrument periods of each stable loop, analysed once per distinct
// loop: entries that start apart but share their loop blocks often settle
// into the same loop, and its transform is the costly part.
class LoopTunings {
public:
    // 0 when the loop has no tone (or is too long to analyse).
    uint32_t Periods(const LoopPlan& plan, const std::vector<int16_t>& pcm) {
        const int16_t* loop = pcm.data() + plan.LoopStartSample();
        const uint64_t length = plan.LoopSamples();
        auto found = periods_.emplace(std::make_pair(length, HashPcm(kPcmHashSeed, loop, length)), 0);
        if (!found.second) return found.first->second;
        Tuning tuning;
        if (EstimateLoopTuning(loop, static_cast<uint32_t>(length), kTuningRate, tuning))
            found.first->second = tuning.periods;
        return found.first->second;
    }

private:
    std::map<std::pair<uint64_t, uint64_t>, uint32_t> periods_;  // (length, hash) -> periods
};

// Two rows that read the same blocks with the same loop decode alike (a
// directory's entries often name one sample many times).
bool SameSound(const SetSample& a, const SetSample& b) {
    return a.dataStart == b.dataStart && a.blocks == b.blocks && a.stored == b.stored &&
           a.loopKnown == b.loopKnown && a.loopBlock == b.loopBlock;
}

void CopyMeasures(const SetSample& from, SetSample& to) {
    to.padding = from.padding;
    to.chipLoop = from.chipLoop;
    to.loopPlan = from.loopPlan;
    to.silent = from.silent;
    to.peak = from.peak;
    to.tonePeriods = from.tonePeriods;
}

// Decodes each sample once, one at a time, for its silence, peak and the
// tuning of a stable loop; a row that sounds like an earlier one takes its
// measures.
void MeasureSamples(SampleSet& set) {
    std::vector<int16_t> pcm;
    LoopTunings tunings;
    std::map<uint32_t, size_t> firstAt;  // data start -> first row measured there
    for (SetSample& sample : set.samples) {
        auto earlier = firstAt.emplace(sample.dataStart, &sample - set.samples.data());
        if (!earlier.second && SameSound(set.samples[earlier.first->second], sample)) {
            CopyMeasures(set.samples[earlier.first->second], sample);
            continue;
        }
        std::vector<uint8_t> blocks = set.Blocks(sample);
        sample.padding = PaddingShare(blocks.data(), sample.blocks);
        PlanLoop(set, sample);
        if (!set.Decode(sample, pcm)) continue;
        sample.peak = PcmPeak(pcm.data(), pcm.size());
        sample.silent = sample.peak == 0 ? 1 : 0;
        if (sample.chipLoop && sample.loopPlan.stable) sample.tonePeriods = tunings.Periods(sample.loopPlan, pcm);
    }
}

// The name after the last folder separator, without its extension.
std::string FileStem(const std::string& path) {
#ifdef _WIN32
    size_t slash = path.find_last_of("\\/");
#else
    size_t slash = path.find_last_of('/');
#endif
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
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
        sample.loopKnown = sample.spc.LoopKnown();
        if (sample.loopKnown) sample.loopBlock = (run.aramLoop - run.aramStart) / kBlockBytes;
    }
}

}  // namespace

// The decoder is chosen here and nowhere else: every size and every PCM
// the front ends and savers see comes through PcmBytes and Decode.
uint64_t SampleSet::PcmBytes(const SetSample& sample) const {
    switch (decoder) {
    case DecoderKind::Chip:
        if (sample.chipLoop) return sample.loopPlan.TotalSamples() * 2;
        return uint64_t{sample.blocks} * kSamplesPerBlock * 2;
    case DecoderKind::Spec: return sample.stored ? sample.specBytes : 0;
    }
    return 0;
}

bool SampleSet::Decode(const SetSample& sample, std::vector<int16_t>& pcm) const {
    switch (decoder) {
    case DecoderKind::Chip: {
        std::vector<uint8_t> blocks = Blocks(sample);
        if (sample.chipLoop) {
            pcm = RenderChipLoop(blocks.data(), sample.blocks, sample.loopBlock, sample.loopPlan);
            return true;
        }
        pcm.resize(static_cast<size_t>(sample.blocks) * kSamplesPerBlock);
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

bool SampleSet::LoopTuning(const SetSample& sample, double rate, Tuning& tuning) const {
    if (sample.tonePeriods == 0) return false;
    uint32_t periods = sample.tonePeriods;
    Tuning found = TuningOfHz(rate * periods / static_cast<double>(sample.loopPlan.LoopSamples()));
    // At another rate the same loop can leave the notes.
    if (!InMidiRange(found)) return false;
    tuning = found;
    tuning.periods = periods;
    return true;
}

std::string SampleSet::BaseName(const SetSample& sample) const {
    if (isBrr) return FileStem(path);
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
    MeasureSamples(set);
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
            sample.loopKnown = entry.LoopKnown();
            if (sample.loopKnown) sample.loopBlock = (entry.loopAddress - entry.start) / kBlockBytes;
            set.samples.push_back(sample);
        }
    }
    MeasureSamples(set);
    return reading;
}

bool IsBrrFileName(const std::string& path) {
    if (path.size() < 4) return false;
    std::string extension = path.substr(path.size() - 4);
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".brr";
}

BrrFile ReadBrrSet(const std::string& path, std::vector<uint8_t> file, SampleSet& set) {
    BrrFile parsed = ParseBrrFile(file.data(), file.size());
    if (!parsed.Ok()) return parsed;
    set.path = path;
    set.isBrr = true;
    set.decoder = DecoderKind::Chip;
    set.brrFile = std::move(file);
    set.data = set.brrFile.data();
    set.dataSize = static_cast<uint32_t>(set.brrFile.size());
    SetSample sample{};
    sample.number = 1;
    sample.dataStart = parsed.dataOffset;
    sample.blocks = parsed.blocks;
    sample.loop = parsed.loop != BrrFileLoop::None;
    sample.stored = true;
    sample.loopKnown = parsed.loop == BrrFileLoop::Known;
    sample.loopBlock = parsed.loopBlock;
    set.samples.push_back(sample);
    MeasureSamples(set);
    return parsed;
}
