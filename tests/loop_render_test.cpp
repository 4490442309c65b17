#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/brr/loop_render.h"
#include "tests/chip_brr_model.h"
#include "tests/test_support.h"

namespace {

using Pcm = std::vector<int16_t>;

// A sample of `count` blocks of random data whose loop block has the
// given filter; the end block loops.
Bytes RandomSample(std::mt19937& random, size_t count, size_t loopBlock, unsigned loopFilter, unsigned maxRange) {
    Bytes blocks(9 * count);
    for (uint8_t& byte : blocks) byte = static_cast<uint8_t>(random());
    for (size_t b = 0; b < count; ++b) {
        unsigned filter = b == loopBlock ? loopFilter : random() % 4;
        blocks[9 * b] = static_cast<uint8_t>((random() % (maxRange + 1)) << 4 | filter << 2 | (b + 1 == count ? 3 : 2));
    }
    return blocks;
}

TEST(LoopRenderTest, PassesAndPcmAgreeWithTheModelForEveryLoopFilter) {
    struct Case {
        unsigned loopFilter, maxRange;
        size_t blocks, loopBlock;
    } cases[] = {
        {0, 12, 6, 2}, {1, 8, 6, 2}, {2, 8, 5, 0}, {3, 8, 7, 6}, {1, 12, 3, 1}, {2, 12, 4, 3}, {3, 12, 9, 4}, {2, 4, 3, 0},
    };
    std::mt19937 random(16);
    size_t multiPass = 0;
    size_t unstable = 0;
    for (const Case& c : cases) {
        for (int trial = 0; trial < 40; ++trial) {
            SCOPED_TRACE(testing::Message() << "filter " << c.loopFilter << " range " << c.maxRange << " trial " << trial);
            Bytes blocks = RandomSample(random, c.blocks, c.loopBlock, c.loopFilter, c.maxRange);
            chip_model::Loop model = chip_model::RenderLoop(blocks, c.loopBlock);
            uint32_t count = static_cast<uint32_t>(c.blocks);
            uint32_t loopBlock = static_cast<uint32_t>(c.loopBlock);
            LoopPlan plan = PlanChipLoop(blocks.data(), count, loopBlock);
            ASSERT_EQ(plan.passes, model.passes);
            ASSERT_EQ(plan.loopFirstPass, model.firstPass);
            ASSERT_EQ(plan.stable, model.stable);
            ASSERT_EQ(plan.TotalSamples(), model.pcm.size());
            ASSERT_EQ(RenderChipLoop(blocks.data(), count, loopBlock, plan), model.pcm);
            if (c.loopFilter == 0) {
                ASSERT_EQ(plan.passes, 1u) << "a loop block without prediction repeats at once";
            }
            multiPass += plan.passes > 1;
            unstable += !plan.stable;

            // Read in uneven pieces, the stream is the same.
            ChipLoopReader reader(blocks.data(), count, loopBlock, plan);
            Pcm pieces(model.pcm.size() + 5);
            size_t done = 0;
            for (uint32_t got; (got = reader.Read(pieces.data() + done, 7)) > 0;) done += got;
            pieces.resize(done);
            ASSERT_EQ(pieces, model.pcm);
        }
    }
    // The random samples reach the interesting roads.
    EXPECT_GT(multiPass, 20u);
    EXPECT_GT(unstable, 0u);
}

}  // namespace
