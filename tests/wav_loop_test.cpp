#include <cstdint>

#include "engine/files/little_endian.h"
#include "engine/formats/wav_header.h"
#include "engine/formats/wav_loop.h"
#include "tests/test_support.h"

namespace {

TEST(WavLoopTest, SmplChunkWithOneForwardLoop) {
    uint8_t chunk[kSmplChunkBytes];
    BuildSmplChunk(chunk, 32000, 960, 1023);
    // The layout from the RIFF notes, field by field.
    EXPECT_EQ(Bytes(chunk, chunk + 4), Bytes({'s', 'm', 'p', 'l'}));
    EXPECT_EQ(GetLe32(chunk + 4), 60u);        // 36 + 24 x 1 loop
    EXPECT_EQ(GetLe32(chunk + 8), 0u);         // manufacturer
    EXPECT_EQ(GetLe32(chunk + 12), 0u);        // product
    EXPECT_EQ(GetLe32(chunk + 16), 31250u);    // nanoseconds per sample at 32000 Hz
    EXPECT_EQ(GetLe32(chunk + 20), 60u);       // MIDI unity note
    EXPECT_EQ(GetLe32(chunk + 24), 0u);        // pitch fraction
    EXPECT_EQ(GetLe32(chunk + 36), 1u);        // loops
    EXPECT_EQ(GetLe32(chunk + 40), 0u);        // sampler data
    EXPECT_EQ(GetLe32(chunk + 48), 0u);        // forward
    EXPECT_EQ(GetLe32(chunk + 52), 960u);      // start frame
    EXPECT_EQ(GetLe32(chunk + 56), 1023u);     // end frame, inclusive
    EXPECT_EQ(GetLe32(chunk + 64), 0u);        // play forever
    BuildSmplChunk(chunk, 8000, 0, 15, 69, 0x80000000u);
    EXPECT_EQ(GetLe32(chunk + 16), 125000u);
    EXPECT_EQ(GetLe32(chunk + 20), 69u);
    EXPECT_EQ(GetLe32(chunk + 24), 0x80000000u);  // a quarter tone above
    EXPECT_EQ(GetLe32(chunk + 28), 0u);           // SMPTE format
}

TEST(WavLoopTest, RiffSizeCountsTheExtraChunk) {
    uint8_t header[kWavHeaderSize];
    WavHeader built = BuildWavHeader(2048, 32000);
    std::copy(built.begin(), built.end(), header);
    GrowRiffSize(header, kSmplChunkBytes);
    EXPECT_EQ(GetLe32(header + 4), 2048u + 36 + 68);
    EXPECT_EQ(GetLe32(header + 40), 2048u);  // the data chunk is unchanged
}

}  // namespace
