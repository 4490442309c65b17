// A sample's PCM a piece at a time, for writers that stream a set: a loop
// the chip repeats is rendered as it is read, anything else is decoded
// whole, so a reader holds at most one decoded sample.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/brr/loop_render.h"
#include "engine/inputs/sample_set.h"

class SampleReader {
public:
    // May throw std::bad_alloc. The set must outlive the reader.
    SampleReader(const SampleSet& set, const SetSample& sample);
    // False when the sample has no PCM (a ROM run the table did not keep).
    bool HasPcm() const { return hasPcm_; }
    // Writes up to count of the next samples to out; returns how many, 0
    // at the end.
    uint32_t Read(int16_t* out, uint32_t count);

private:
    bool hasPcm_ = true;
    std::vector<uint8_t> blocks_;           // what loop_ renders from
    std::unique_ptr<ChipLoopReader> loop_;
    std::vector<int16_t> pcm_;              // the whole sample otherwise
    size_t at_ = 0;
};
