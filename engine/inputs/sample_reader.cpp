#include "engine/inputs/sample_reader.h"

#include <algorithm>

SampleReader::SampleReader(const SampleSet& set, const SetSample& sample) {
    if (sample.measures.chipLoop) {
        blocks_ = set.Blocks(sample);
        loop_.reset(new ChipLoopReader(blocks_.data(), sample.blocks, sample.loopBlock, sample.measures.loopPlan));
        return;
    }
    hasPcm_ = set.Decode(sample, pcm_);
}

uint32_t SampleReader::Read(int16_t* out, uint32_t count) {
    if (loop_) return loop_->Read(out, count);
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(count, pcm_.size() - at_));
    std::copy(pcm_.begin() + at_, pcm_.begin() + at_ + n, out);
    at_ += n;
    return n;
}
