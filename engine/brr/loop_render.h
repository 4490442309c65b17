// Loops as the sound chip repeats them. At the end block the chip jumps
// back to the loop block with the history it has, so when the loop block
// predicts from that history (filters 1 to 3) the second pass can differ
// from the first, and so on, until the history falls into a cycle. A
// rendering holds the attack and every pass up to the first one that
// repeats an earlier pass, sample for sample; the loop then runs from the
// repeated pass to the end.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/brr/brr_chip_decoder.h"

// Passes written at most; when none repeats by then, the last is the loop.
constexpr uint32_t kMaxLoopPasses = 64;

// FNV-1a over count samples, continuing from hash: equal runs of samples
// hash equal, and unequal ones almost never do.
constexpr uint64_t kPcmHashSeed = 0xCBF29CE484222325u;
uint64_t HashPcm(uint64_t hash, const int16_t* pcm, uint64_t count);


struct LoopPlan {
    uint32_t attackSamples = 0;  // before the loop block
    uint32_t passSamples = 0;    // one pass: the loop block to the end block
    uint32_t passes = 1;         // passes written, 1..kMaxLoopPasses
    uint32_t loopFirstPass = 0;  // the pass the loop starts with
    bool stable = true;          // false when no pass repeated

    uint64_t TotalSamples() const { return attackSamples + uint64_t{passes} * passSamples; }
    uint64_t LoopStartSample() const { return attackSamples + uint64_t{loopFirstPass} * passSamples; }
    // Length of the loop, which may span several passes.
    uint64_t LoopSamples() const { return uint64_t{passes - loopFirstPass} * passSamples; }
};

// Finds how many passes the rendering of the sample at data (`blocks`
// blocks, the end block last; loopBlock < blocks) holds, keeping only
// histories and a hash per pass, so that its length is known before any
// PCM is stored.
LoopPlan PlanChipLoop(const uint8_t* data, uint32_t blocks, uint32_t loopBlock);

// Hands out the rendering a plan describes, a piece at a time, for
// writers that stream it. data must outlive the reader.
class ChipLoopReader {
public:
    ChipLoopReader(const uint8_t* data, uint32_t blocks, uint32_t loopBlock, const LoopPlan& plan);
    // Writes up to count of the next samples to out; returns how many,
    // 0 once plan.TotalSamples() have been read.
    uint32_t Read(int16_t* out, uint32_t count);

private:
    void DecodeNextBlock();

    const uint8_t* data_;
    uint32_t blocks_;
    uint32_t loopBlock_;
    uint32_t passesLeft_;  // passes still to start after the current one
    uint32_t block_ = 0;   // next block to decode
    ChipHistory history_;
    int16_t buffer_[kSamplesPerBlock] = {};
    uint32_t buffered_ = 0;  // samples of buffer_ not yet read
    bool done_ = false;
};

// The whole rendering in memory: plan.TotalSamples() samples.
std::vector<int16_t> RenderChipLoop(const uint8_t* data, uint32_t blocks, uint32_t loopBlock, const LoopPlan& plan);
