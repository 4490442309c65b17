#include "engine/inputs/sample_set.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

#include "engine/brr/brr_chip_decoder.h"
#include "engine/brr/brr_decoder.h"
#include "engine/analysis/sample_stats.h"
#include "engine/files/path_names.h"

namespace {

// The rate tunings are found at; a tuning at another rate scales with it.
constexpr double kTuningRate = 32000;

// Plans how the chip repeats a known loop, before any PCM is decoded, so
// that every size reported and written is the rendering's.
void PlanLoop(const SampleSet& set, SetSample& sample) {
    SampleMeasures& measures = sample.measures;
    measures.chipLoop = set.decoder == DecoderKind::Chip && sample.loopKnown && sample.loopBlock < sample.blocks;
    if (!measures.chipLoop) return;
    std::vector<uint8_t> blocks = set.Blocks(sample);
    measures.loopPlan = PlanChipLoop(blocks.data(), sample.blocks, sample.loopBlock);
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
    return a.dataStart == b.dataStart && a.blocks == b.blocks && a.rom.stored == b.rom.stored &&
           a.loopKnown == b.loopKnown && a.loopBlock == b.loopBlock;
}

}  // namespace

// A row that sounds like an earlier one takes its measures.
void MeasureSamples(SampleSet& set) {
    std::vector<int16_t> pcm;
    LoopTunings tunings;
    std::map<uint32_t, size_t> firstAt;  // data start -> first row measured there
    for (SetSample& sample : set.samples) {
        auto earlier = firstAt.emplace(sample.dataStart, &sample - set.samples.data());
        if (!earlier.second && SameSound(set.samples[earlier.first->second], sample)) {
            sample.measures = set.samples[earlier.first->second].measures;
            continue;
        }
        SampleMeasures& measures = sample.measures;
        std::vector<uint8_t> blocks = set.Blocks(sample);
        measures.padding = PaddingShare(blocks.data(), sample.blocks);
        PlanLoop(set, sample);
        if (!set.Decode(sample, pcm)) continue;
        measures.peak = PcmPeak(pcm.data(), pcm.size());
        measures.silent = measures.peak == 0 ? 1 : 0;
        if (measures.chipLoop && measures.loopPlan.stable)
            measures.tonePeriods = tunings.Periods(measures.loopPlan, pcm);
    }
}

// The decoder is chosen here and nowhere else: every size and every PCM
// the front ends and savers see comes through PcmBytes and Decode.
uint64_t SampleSet::PcmBytes(const SetSample& sample) const {
    switch (decoder) {
    case DecoderKind::Chip:
        if (sample.measures.chipLoop) return sample.measures.loopPlan.TotalSamples() * 2;
        return uint64_t{sample.blocks} * kSamplesPerBlock * 2;
    case DecoderKind::Spec: return sample.rom.stored ? sample.rom.specBytes : 0;
    }
    return 0;
}

bool SampleSet::Decode(const SetSample& sample, std::vector<int16_t>& pcm) const {
    switch (decoder) {
    case DecoderKind::Chip: {
        std::vector<uint8_t> blocks = Blocks(sample);
        if (sample.measures.chipLoop) {
            pcm = RenderChipLoop(blocks.data(), sample.blocks, sample.loopBlock, sample.measures.loopPlan);
            return true;
        }
        pcm.resize(static_cast<size_t>(sample.blocks) * kSamplesPerBlock);
        DecodeBrrChip(blocks.data(), sample.blocks, pcm.data());
        return true;
    }
    case DecoderKind::Spec:
        if (!sample.rom.stored) return false;
        pcm.resize(sample.rom.specBytes / 2);
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
    uint32_t periods = sample.measures.tonePeriods;
    if (periods == 0) return false;
    tuning = TuningOfHz(rate * periods / static_cast<double>(sample.measures.loopPlan.LoopSamples()));
    tuning.periods = periods;
    return true;
}

std::string SampleSet::BaseName(const SetSample& sample) const {
    if (kind == InputKind::Brr) return FileStem(path);
    // ROM files are numbered by table slot, as the ripper saves them.
    if (!sample.fromDirectory) return std::to_string(IsRom() ? sample.rom.slot + 1 : sample.number);
    char name[8];
    std::snprintf(name, sizeof name, "%02X", static_cast<unsigned>(sample.entry.index));
    return name;
}

bool SampleSet::Saved(const SetSample& sample) const {
    if (sample.fromDirectory) return sample.entry.sameAs < 0;
    return HasPcm(sample);
}
