#include <cstdint>
#include <vector>

#include "engine/analysis/sample_stats.h"
#include "tests/test_support.h"

namespace {

TEST(SampleStatsTest, PeakIsTheLargestMagnitude) {
    struct Case {
        std::vector<int16_t> pcm;
        uint32_t soFar, peak;
    } cases[] = {
        {{}, 0, 0}, {{0, 0}, 0, 0}, {{3, -5, 4}, 0, 5}, {{-32768, 32767}, 0, 32768}, {{100, -20}, 300, 300}, {{2}, 1, 2},
    };
    for (const Case& c : cases) EXPECT_EQ(PcmPeak(c.pcm.data(), c.pcm.size(), c.soFar), c.peak);
}

TEST(SampleStatsTest, PaddingCountsBlocksWithoutData) {
    Bytes blocks;
    AppendBlock(blocks, 0xB0, 0x00);  // zero data under any header counts
    AppendBlock(blocks, 0x00, 0x00);
    AppendBlock(blocks, 0x00, 0x00);
    AppendBlock(blocks, 0x03, 0x00);
    blocks[9 * 2 + 8] = 0x01;  // block 2 has data in its last byte only
    EXPECT_DOUBLE_EQ(PaddingShare(blocks.data(), 4), 0.75);
    EXPECT_DOUBLE_EQ(PaddingShare(blocks.data(), 2), 1.0);
    EXPECT_DOUBLE_EQ(PaddingShare(blocks.data() + 18, 1), 0.0);
    EXPECT_DOUBLE_EQ(PaddingShare(blocks.data(), 0), 0.0);
}

}  // namespace
