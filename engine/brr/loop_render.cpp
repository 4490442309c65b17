#include "engine/brr/loop_render.h"

#include <algorithm>
#include <cassert>

#include "engine/brr/brr_block.h"

namespace {

// Decodes one pass from history, hashing it; returns the history it leaves.
ChipHistory HashPass(const uint8_t* loop, uint32_t blocks, ChipHistory history, uint64_t& hash) {
    int16_t block[kSamplesPerBlock];
    hash = kPcmHashSeed;
    for (uint32_t b = 0; b < blocks; ++b) {
        history = DecodeBrrChipFrom(loop + b * kBlockBytes, 1, history, block);
        hash = HashPcm(hash, block, kSamplesPerBlock);
    }
    return history;
}

// Whether the passes decoded from histories a and b are equal.
bool SamePass(const uint8_t* loop, uint32_t blocks, ChipHistory a, ChipHistory b) {
    int16_t left[kSamplesPerBlock];
    int16_t right[kSamplesPerBlock];
    for (uint32_t k = 0; k < blocks && a != b; ++k) {
        a = DecodeBrrChipFrom(loop + k * kBlockBytes, 1, a, left);
        b = DecodeBrrChipFrom(loop + k * kBlockBytes, 1, b, right);
        for (uint32_t i = 0; i < kSamplesPerBlock; ++i)
            if (left[i] != right[i]) return false;
    }
    // Once both histories agree, the rest of the passes agree too.
    return true;
}

}  // namespace

LoopPlan PlanChipLoop(const uint8_t* data, uint32_t blocks, uint32_t loopBlock) {
    assert(loopBlock < blocks);
    LoopPlan plan;
    plan.attackSamples = loopBlock * kSamplesPerBlock;
    plan.passSamples = (blocks - loopBlock) * kSamplesPerBlock;
    const uint8_t* loop = data + loopBlock * kBlockBytes;
    uint32_t loopBlocks = blocks - loopBlock;

    // Pass k starts from starts[k]; pass 0 from what the attack leaves.
    std::vector<ChipHistory> starts{DecodeBrrChipFrom(data, loopBlock, {}, nullptr)};
    std::vector<uint64_t> hashes(1);
    starts.push_back(HashPass(loop, loopBlocks, starts[0], hashes[0]));
    for (uint32_t pass = 1; pass <= kMaxLoopPasses; ++pass) {
        uint64_t hash;
        ChipHistory next = HashPass(loop, loopBlocks, starts[pass], hash);
        for (uint32_t earlier = 0; earlier < pass; ++earlier) {
            if (hashes[earlier] == hash && SamePass(loop, loopBlocks, starts[earlier], starts[pass])) {
                plan.passes = pass;
                plan.loopFirstPass = earlier;
                return plan;
            }
        }
        hashes.push_back(hash);
        starts.push_back(next);
    }
    plan.passes = kMaxLoopPasses;
    plan.loopFirstPass = kMaxLoopPasses - 1;
    plan.stable = false;
    return plan;
}

ChipLoopReader::ChipLoopReader(const uint8_t* data, uint32_t blocks, uint32_t loopBlock, const LoopPlan& plan)
    : data_(data), blocks_(blocks), loopBlock_(loopBlock), passesLeft_(plan.passes - 1) {
    assert(loopBlock < blocks && plan.passes >= 1);
}

// The passes follow one another as the chip plays them: the history runs
// on across each jump back to the loop block.
void ChipLoopReader::DecodeNextBlock() {
    if (block_ == blocks_) {
        if (passesLeft_ == 0) {
            done_ = true;
            return;
        }
        --passesLeft_;
        block_ = loopBlock_;
    }
    history_ = DecodeBrrChipFrom(data_ + block_ * kBlockBytes, 1, history_, buffer_);
    ++block_;
    buffered_ = kSamplesPerBlock;
}

uint32_t ChipLoopReader::Read(int16_t* out, uint32_t count) {
    uint32_t written = 0;
    while (written < count) {
        if (buffered_ == 0) DecodeNextBlock();
        if (done_) break;
        uint32_t take = std::min(buffered_, count - written);
        const int16_t* from = buffer_ + (kSamplesPerBlock - buffered_);
        for (uint32_t i = 0; i < take; ++i) out[written + i] = from[i];
        buffered_ -= take;
        written += take;
    }
    return written;
}

std::vector<int16_t> RenderChipLoop(const uint8_t* data, uint32_t blocks, uint32_t loopBlock, const LoopPlan& plan) {
    std::vector<int16_t> pcm(plan.TotalSamples());
    ChipLoopReader reader(data, blocks, loopBlock, plan);
    uint64_t done = 0;
    while (done < pcm.size()) {
        uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(pcm.size() - done, 1u << 20));
        uint32_t got = reader.Read(pcm.data() + done, piece);
        if (got == 0) break;  // never before the plan's length
        done += got;
    }
    return pcm;
}

uint64_t HashPcm(uint64_t hash, const int16_t* pcm, uint64_t count) {
    for (uint64_t i = 0; i < count; ++i) {
        hash ^= static_cast<uint16_t>(pcm[i]);
        hash *= 0x100000001B3u;
    }
    return hash;
}
