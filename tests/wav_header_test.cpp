#include <cstring>

#include "engine/formats/wav_header.h"
#include "tests/test_support.h"

namespace {

TEST(WavHeader, MatchesTheReferenceBytes) {
    const uint8_t expected[44] = {0x52, 0x49, 0x46, 0x46, 0x44, 0x00, 0x00, 0x00, 0x57, 0x41, 0x56, 0x45,
                                  0x66, 0x6D, 0x74, 0x20, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00,
                                  0x40, 0x1F, 0x00, 0x00, 0x80, 0x3E, 0x00, 0x00, 0x02, 0x00, 0x10, 0x00,
                                  0x64, 0x61, 0x74, 0x61, 0x20, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(BuildWavHeader(32, 8000).data(), expected, 44), 0);
}

TEST(WavHeader, SizesAndRatesFollowTheArguments) {
    struct Case {
        uint32_t dataBytes;
        int32_t rate;
        uint32_t riffSize, byteRate;
    } cases[] = {
        {0, 8000, 36, 16000},
        {64, 44100, 100, 88200},
        {32, 5500, 68, 11000},
        {0xFFFFFFF0u, 0, 0x14, 0},  // wraps, no overflow test
    };
    for (const Case& c : cases) {
        WavHeader built = BuildWavHeader(c.dataBytes, c.rate);
        const uint8_t* h = built.data();
        EXPECT_EQ(GetLe32(h + 4), c.riffSize);
        EXPECT_EQ(GetLe32(h + 24), static_cast<uint32_t>(c.rate));
        EXPECT_EQ(GetLe32(h + 28), c.byteRate);
        EXPECT_EQ(GetLe32(h + 40), c.dataBytes);
    }
}

}  // namespace
