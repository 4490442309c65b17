#include <cstring>
#include <random>
#include <vector>

#include "engine/brr/brr_decoder.h"
#include "app/scan_loop.h"
#include "app/memory.h"
#include "app/res/resource.h"
#include "tests/brr_model.h"
#include "tests/test_support.h"
#include "app/log.h"

namespace {

using Pcm = std::vector<int16_t>;

// The floating-point decoding model over a whole aligned run: every block
// but the end block, from silence.
Pcm ReferenceDecode(const Bytes& run) { return ModelDecodeRun(run.data(), 0, static_cast<uint32_t>(run.size() - 9)); }

class DecoderTest : public AppTest {
protected:
    // Makes rom the loaded image and decodes start..end as the scanner would.
    void DecodeAt(const Bytes& rom, uint32_t start, uint32_t end) {
        if (app.romData == nullptr || app.romSize != rom.size() ||
            std::memcmp(app.romData, rom.data(), rom.size()) != 0) {
            FreeRom();
            app.romData = static_cast<uint8_t*>(AllocBlock(rom.size()));
            std::memcpy(app.romData, rom.data(), rom.size());
            app.romSize = static_cast<uint32_t>(rom.size());
        }
        app.runStart = start;
        app.runEnd = end;
        DecodeRun();
    }

    // The PCM of a stored slot.
    Pcm Slot(uint32_t index) const {
        const int16_t* data = app.sampleData[index];
        return Pcm(data, data + app.sampleBytes[index] / 2);
    }

    // Decodes a whole run lying at offset 0 and returns its PCM.
    Pcm DecodeWhole(const Bytes& run) {
        DecodeAt(run, 0, static_cast<uint32_t>(run.size() - 9));
        EXPECT_EQ(app.sampleCount, 1u);
        return app.sampleCount ? Slot(app.sampleCount - 1) : Pcm();
    }
};

TEST_F(DecoderTest, WorkedExampleTruncatesTowardZero) {
    Bytes run = {0x80, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                 0x04, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    AppendBlock(run, 0x01, 0x00);
    Pcm expected = {0,    256,  512,  768,  1024, 1280, 1536, 1792, -2048, -1792, -1536,
                    -1280, -1024, -768, -512, -256, -239, -224, -210, -196, -183, -171,
                    -160, -150, -140, -131, -122, -114, -106, -99,  -92,  -86};
    EXPECT_EQ(DecodeWhole(run), expected);
    EXPECT_EQ(app.sampleBytes[0], 64u);
    EXPECT_EQ(app.decodeBuffer, nullptr);
}

TEST(DecodeBrrNibble, ScalesPredictsTruncatesAndWraps) {
    struct Case {
        unsigned nibble, range, filter;
        int32_t p1, p2;
        int16_t expected;
    };
    const Case cases[] = {
        {0, 0, 2, 100, 50, 143},         // 143.75
        {0, 0, 2, -100, -50, -143},      // -143.75, toward zero
        {0, 0, 3, 1000, 900, 1065},      // 1065.625
        {0, 0, 3, -1000, -900, -1065},
        {0, 0, 1, -7, 0, -6},            // -6.5625 truncates up, not down
        {1, 0, 1, -256, 0, -239},
        {0, 0, 1, -239, 0, -224},        // -224.0625
        {7, 12, 1, 32000, 0, -6864},     // 28672 + 30000 wraps
        {8, 12, 1, -32768, 0, 2048},     // -32768 - 30720 wraps the other way
        {8, 12, 0, 0, 0, -32768},
        {7, 12, 0, 0, 0, 28672},
        {15, 0, 0, 0, 0, -1},
        {9, 4, 0, 0, 0, -112},
        {0, 0, 0, 12345, -678, 0},       // filter 0 ignores the history
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeBrrNibble(c.nibble, c.range, c.filter, c.p1, c.p2), c.expected)
            << "nibble " << c.nibble << " range " << c.range << " filter " << c.filter << " p1 " << c.p1 << " p2 "
            << c.p2;
    }
}

TEST_F(DecoderTest, MatchesFloatingPointReferenceOnRandomRuns) {
    std::mt19937 random(20240611);
    for (int trial = 0; trial < 300; ++trial) {
        unsigned blocks = 2 + random() % 12;
        Bytes run;
        for (unsigned b = 1; b < blocks; ++b) {
            run.push_back(static_cast<uint8_t>(random() % 0xD0));
            for (int k = 0; k < 8; ++k) run.push_back(static_cast<uint8_t>(random()));
        }
        AppendBlock(run, 0x01, 0x00);
        ResetAppState();
        ASSERT_EQ(DecodeWhole(run), ReferenceDecode(run)) << "trial " << trial;
    }
}

TEST_F(DecoderTest, DecodesEveryBlockBeforeTheEndBlockOnly) {
    for (unsigned blocks : {1u, 2u, 3u, 65u}) {
        SCOPED_TRACE(blocks);
        ResetAppState();
        CountAllocations();
        Bytes run = MakeRun(blocks, 0x9C, 0x01, 0x3C);
        Pcm first = DecodeWhole(run);
        ASSERT_NE(app.sampleData[0], nullptr);
        EXPECT_EQ(first.size(), 16u * (blocks - 1));
        EXPECT_EQ(app.sampleBytes[0], 32u * (blocks - 1));
        // One request: the PCM plus room for a WAVE header in front.
        EXPECT_EQ(AllocationRequests().back(), 32u * (blocks - 1) + 44);

        // Neither the end block's data nor what follows it is decoded.
        Bytes changed = run;
        for (size_t k = changed.size() - 8; k < changed.size(); ++k) changed[k] = 0x77;
        changed.push_back(0x42);
        DecodeAt(changed, 0, static_cast<uint32_t>(run.size() - 9));
        EXPECT_EQ(Slot(1), first);
    }
}

TEST_F(DecoderTest, TableFillsToItsLastSlotThenDropsEachFurtherRun) {
    Bytes run = MakeRun(2, 0x80, 0x01, 0x12);
    for (unsigned k = 0; k < kMaxSamples - 1; ++k) DecodeAt(run, 0, 9);
    ASSERT_EQ(app.sampleCount, kMaxSamples - 1);

    DecodeAt(run, 0, 9);
    EXPECT_EQ(app.sampleCount, kMaxSamples);
    ASSERT_NE(app.sampleData[kMaxSamples - 1], nullptr);
    EXPECT_EQ(app.sampleBytes[kMaxSamples - 1], 32u);
    EXPECT_EQ(LogCount("\r\nMax of 1280 samples reached."), 0);

    DecodeAt(run, 0, 9);
    DecodeAt(run, 0, 9);
    EXPECT_EQ(app.sampleCount, kMaxSamples);
    EXPECT_EQ(app.decodeBuffer, nullptr);
    EXPECT_EQ(LogCount("\r\nMax of 1280 samples reached."), 2);
}

TEST_F(DecoderTest, AllocationFailureIsReportedAndStoresNothing) {
    for (bool tableFull : {false, true}) {
        SCOPED_TRACE(tableFull ? "table full" : "table empty");
        ResetAppState();
        LogClear();
        Bytes run = MakeRun(3, 0x80, 0x01, 0x12);
        if (tableFull)
            for (unsigned k = 0; k < kMaxSamples; ++k) DecodeAt(run, 0, 0);
        uint32_t countBefore = app.sampleCount;

        CountAllocations({0, 0, 64 + 44, 1});
        DecodeAt(run, 0, 18);

        EXPECT_EQ(LogCount("\r\nError allocating 64 bytes."), 1);
        EXPECT_EQ(LogCount("\r\nMax of 1280 samples reached."), 0);
        EXPECT_EQ(app.sampleCount, countBefore);
        EXPECT_EQ(app.decodeBuffer, nullptr);
        SetAllocGate(nullptr);
    }
}

TEST_F(DecoderTest, BrokenChainLeavesTheRestSilent) {
    // A middle header of 0xD0 or above shifts every later block by one byte,
    // so fewer samples come out than the size holds; the rest is silence.
    Bytes run = MakeRun(4, 0x80, 0x01, 0x77);
    run[9] = 0xD4;
    run[10] = 0xD5;  // two skipped bytes: the last block runs out after 7 data bytes
    // Leave a dirty block of the buffer's size for the allocator to hand back.
    void* dirty = AllocBlock(96 + 44);
    std::memset(dirty, 0x55, 96 + 44);
    FreeBlock(dirty);
    DecodeAt(run, 0, 27);
    Pcm pcm = Slot(0);
    ASSERT_EQ(pcm.size(), 48u);
    EXPECT_NE(pcm[45], 0);
    EXPECT_EQ(pcm[46], 0);
    EXPECT_EQ(pcm[47], 0);
}

TEST_F(DecoderTest, RunTooLongForAWaveFileIsRefusedUnread) {
    // 150 million blocks would decode to 4.8 GB: more than 32 bits can count.
    Bytes rom(16, 0x00);
    app.romData = rom.data();
    app.runStart = 0;
    app.runEnd = 9u * 150000000u;
    DecodeRun();
    app.romData = nullptr;
    EXPECT_EQ(std::string(LogText()), "\r\nError allocating 4800000000 bytes.");
    EXPECT_EQ(app.sampleCount, 0u);
    EXPECT_EQ(app.decodeBuffer, nullptr);
}

TEST_F(DecoderTest, ScanGoesOnAfterAnAllocationFailure) {
    Bytes rom;
    for (int k = 0; k < 3; ++k) {
        Bytes run = MakeRun(65, 0x80, 0x81, static_cast<uint8_t>(0x10 + k));
        rom.insert(rom.end(), run.begin(), run.end());
    }
    CountAllocations({0, 0, 64 * 32 + 44, 2});
    LoadAndRipBytes(rom);

    EXPECT_EQ(LogCount("\r\nError allocating 2048 bytes."), 1);
    EXPECT_EQ(LogCount("\r\nFound 3 samples."), 1);
    ASSERT_EQ(app.sampleCount, 2u);
    // The first and third runs were stored, in image order.
    EXPECT_EQ(Slot(0), ReferenceDecode(Bytes(rom.begin(), rom.begin() + 585)));
    EXPECT_EQ(Slot(1), ReferenceDecode(Bytes(rom.begin() + 2 * 585, rom.end())));
}

}  // namespace
