#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/brr/brr_chip_decoder.h"
#include "tests/chip_brr_model.h"
#include "tests/test_support.h"

namespace {

using Pcm = std::vector<int16_t>;

int16_t ModelSample(int nibble, unsigned range, unsigned filter, int64_t stored1, int64_t stored2) {
    return chip_model::Sample(nibble, range, filter, stored1, stored2);
}

Pcm ModelDecode(const Bytes& blocks) {
    Pcm out;
    chip_model::DecodeOnto(blocks, 0, blocks.size() / 9, out);
    return out;
}

Pcm ChipDecode(const Bytes& blocks) {
    Pcm out(blocks.size() / 9 * 16, 12345);
    DecodeBrrChip(blocks.data(), static_cast<uint32_t>(blocks.size() / 9), out.data());
    return out;
}

TEST(ChipDecoderTest, SingleOutputsAtTheEdgesOfTheArithmetic) {
    struct Case {
        int nibble;
        unsigned range, filter;
        int32_t p1, p2;
        int16_t expected;
    } cases[] = {
        {1, 0, 0, 0, 0, 0},            // range 0 halves: 1 >> 1
        {-1, 0, 0, 0, 0, -2},          // and rounds down: -1 >> 1 = -1, stored doubled
        {7, 12, 0, 0, 0, 28672},       // (7 << 12) >> 1 = 14336, doubled
        {-8, 12, 0, 0, 0, -32768},     // the most negative value fits exactly
        {7, 13, 0, 0, 0, 0},           // ranges 13..15: 0 for positive values
        {-1, 14, 0, 0, 0, -4096},      // and -2048 (doubled) for negative ones
        {-8, 15, 0, 0, 0, -4096},
        {0, 0, 1, -7, 0, -8},          // (-7 >> 1) + (7 >> 5) = -4 + 0, doubled
        {7, 12, 1, 32766, 0, -6146},   // 14336 + 15359 = 29695 doubles past 0x7FFF and wraps
        {7, 12, 2, 32766, -32768, -2}, // above 32767: clamped, then doubled to 0xFFFE
        {-8, 12, 3, -32768, 32766, 0}, // below -32768: clamped to -32768, doubled to 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "nibble " << c.nibble << " range " << c.range << " filter " << c.filter);
        EXPECT_EQ(ChipBrrSample(c.nibble, c.range, c.filter, c.p1, c.p2), c.expected);
        EXPECT_EQ(ChipBrrSample(c.nibble, c.range, c.filter, c.p1, c.p2),
                  ModelSample(c.nibble, c.range, c.filter, c.p1, c.p2));
    }
}

TEST(ChipDecoderTest, EveryHeaderNibbleAndHistoryAgreesWithTheModel) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> stored(-32768, 32767);
    for (unsigned header = 0; header < 256; header += 4) {
        for (int nibble = -8; nibble <= 7; ++nibble) {
            for (int trial = 0; trial < 40; ++trial) {
                // Stored outputs are always even.
                int32_t p1 = stored(random) & ~1;
                int32_t p2 = stored(random) & ~1;
                ASSERT_EQ(ChipBrrSample(nibble, header >> 4, (header >> 2) & 3, p1, p2),
                          ModelSample(nibble, header >> 4, (header >> 2) & 3, p1, p2))
                    << "header " << header << " nibble " << nibble << " p1 " << p1 << " p2 " << p2;
            }
        }
    }
}

TEST(ChipDecoderTest, DecodesEveryBlockIncludingTheEndBlock) {
    // Worked by hand: range 8 filter 0 gives (n << 8) >> 1 doubled = n << 8;
    // the end block (header 0x01, range 0) gives floor(n / 2) doubled.
    Bytes blocks;
    AppendBlock(blocks, 0x80, 0x01);
    AppendBlock(blocks, 0x01, 0x3F);
    Pcm pcm = ChipDecode(blocks);
    ASSERT_EQ(pcm.size(), 32u);
    EXPECT_EQ(pcm[0], 0);
    EXPECT_EQ(pcm[1], 256);
    EXPECT_EQ(pcm[16], 2);   // 3 >> 1 = 1, doubled
    EXPECT_EQ(pcm[17], -2);  // -1 >> 1 = -1, doubled
    EXPECT_EQ(pcm, ModelDecode(blocks));
}

TEST(ChipDecoderTest, FiltersTwoAndThreeDrivenIntoOverflowMatchTheModel) {
    // Large same-sign steps with the predicting filters push the history
    // against both limits, block after block, as an overflow test sample does.
    Bytes blocks;
    for (uint8_t header : {0xB0, 0xC8, 0xCC, 0xC8, 0xBC, 0xCC, 0xC8, 0xCD}) {
        blocks.push_back(header);
        for (int k = 0; k < 8; ++k) blocks.push_back(header & 4 ? 0x77 : 0x88);
    }
    Pcm pcm = ChipDecode(blocks);
    EXPECT_EQ(pcm, ModelDecode(blocks));
    bool wrapped = false;
    for (size_t i = 1; i < pcm.size(); ++i) {
        wrapped = wrapped || (pcm[i - 1] > 16000 && pcm[i] < -16000) || (pcm[i - 1] < -16000 && pcm[i] > 16000);
    }
    EXPECT_TRUE(wrapped) << "the sample should swing through the 15-bit wrap";
}

TEST(ChipDecoderTest, RandomChainsAgreeWithTheModel) {
    std::mt19937 random(1234);
    for (int chain = 0; chain < 300; ++chain) {
        Bytes blocks(9 * (1 + random() % 40));
        for (uint8_t& byte : blocks) byte = static_cast<uint8_t>(random());
        ASSERT_EQ(ChipDecode(blocks), ModelDecode(blocks)) << "chain " << chain;
    }
}

TEST(ChipDecoderTest, SilenceIsEveryValueZero) {
    Pcm pcm(40, 0);
    EXPECT_TRUE(IsSilent(pcm.data(), pcm.size()));
    EXPECT_TRUE(IsSilent(pcm.data(), 0));
    pcm[39] = -2;
    EXPECT_FALSE(IsSilent(pcm.data(), pcm.size()));
    EXPECT_TRUE(IsSilent(pcm.data(), 39));
}

}  // namespace
