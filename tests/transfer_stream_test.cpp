#include <cstdint>
#include <random>

#include "engine/brr/brr_block.h"
#include "engine/brr/brr_chip_decoder.h"
#include "engine/inputs/stream_loops.h"
#include "engine/inputs/transfer_stream.h"
#include "tests/spc_builder.h"
#include "tests/stream_builder.h"
#include "tests/test_support.h"

namespace {

// What a run should get: nothing, an address only, or an entry's loop.
struct Want {
    bool hasAram;
    bool named;
    LoopKind loop;
    uint32_t loopStartSample;
};
const Want kNothing{false, false, LoopKind::None, 0};
const Want kAramOnly{true, false, LoopKind::None, 0};
const Want kFirstThree[] = {{true, true, LoopKind::Address, 32}, {true, true, LoopKind::Offset, 16},
                            {true, true, LoopKind::None, 0}};

void Expect(const StreamImage& built, const std::vector<Want>& wants) {
    std::vector<RunAram> got = FindRunAram(built.image.data(), static_cast<uint32_t>(built.image.size()), built.runs);
    for (size_t k = 0; k < wants.size(); ++k) {
        SCOPED_TRACE(testing::Message() << "sample " << k);
        EXPECT_EQ(got[k].hasAram, wants[k].hasAram);
        EXPECT_EQ(got[k].named, wants[k].named);
        EXPECT_EQ(got[k].loop, wants[k].loop);
        bool known = got[k].loop == LoopKind::Address || got[k].loop == LoopKind::Offset;
        uint32_t loopStart = known ? (got[k].aramLoop - got[k].aramStart) / kBlockBytes * kSamplesPerBlock : 0;
        EXPECT_EQ(loopStart, wants[k].loopStartSample);
        if (wants[k].hasAram) {
            EXPECT_EQ(got[k].aramStart, kStreamSamples[k].aram);
        }
        EXPECT_EQ(got[k].loopIsOffset, wants[k].loop == LoopKind::Offset);
        EXPECT_EQ(got[k].unknownReason != nullptr, wants[k].loop == LoopKind::Unknown);
    }
}

TEST(TransferStreamTest, LoopsFromDirectoriesInStreams) {
    const std::vector<Upload> driver = {{kEntry, DriverCode(0)}, {kTable, kTableEntries}, SampleBlock({0, 1, 2})};
    struct Case {
        const char* what;
        std::vector<std::vector<Upload>> streams;
        std::vector<Want> wants;
    } cases[] = {
        {"table at its page, samples in one block", {driver}, {kFirstThree[0], kFirstThree[1], kFirstThree[2]}},
        {"DIR set through A", {{{kEntry, DriverCode(1)}, {kTable, kTableEntries}, SampleBlock({0, 1, 2})}},
         {kFirstThree[0], kFirstThree[1], kFirstThree[2]}},
        {"entries from the middle of the table, samples in several blocks",
         {{{kEntry, DriverCode(2)}, {kTable + 40, kTableEntries}, SampleBlock({0}), SampleBlock({1}), SampleBlock({2})}},
         {kFirstThree[0], kFirstThree[1], kFirstThree[2]}},
        {"a second stream adds entries and samples", {driver, {{kTable + 12, kMoreEntries}, SampleBlock({3, 4})}},
         {kFirstThree[0], kFirstThree[1], kFirstThree[2], {true, true, LoopKind::Address, 0}, {true, true, LoopKind::Offset, 0}}},
        {"a second stream with samples and no entries", {driver, {SampleBlock({3, 4})}},
         {kFirstThree[0], kFirstThree[1], kFirstThree[2], kAramOnly, kAramOnly}},
        {"two entries name one sample with different loops",
         {{{kEntry, DriverCode(0)}, {kTable, kTableEntries}, {kTable + 12, Entries({{0x4000, 0x4000}})}, SampleBlock({0, 1, 2})}},
         {{true, true, LoopKind::Unknown, 0}, kFirstThree[1], kFirstThree[2]}},
        {"code and samples but no table", {{{kEntry, DriverCode(0)}, SampleBlock({0, 1, 2})}}, {kNothing, kNothing, kNothing}},
        {"a lone entry is no table",
         {{{kEntry, DriverCode(0)}, {kTable, Entries({{0x4000, 0x4012}})}, SampleBlock({0, 1, 2})}},
         {kNothing, kNothing, kNothing}},
        {"entries whose samples run over each other",
         {{{kEntry, DriverCode(0)}, {kTable, Entries({{0x4000, 0x4012}, {0x4009, 0x4009}})}, SampleBlock({0, 1, 2})}},
         {kNothing, kNothing, kNothing}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Expect(StreamImage(c.streams), c.wants);
    }
}

TEST(TransferStreamTest, AlmostStreamsAndNoiseGiveNothing) {
    const std::vector<Upload> driver = {{kEntry, DriverCode(0)}, {kTable, kTableEntries}, SampleBlock({0, 1, 2})};
    const std::vector<Want> none = {kNothing, kNothing, kNothing};
    StreamImage built({driver});
    uint32_t last = built.runs[2].end + 9;  // the terminator follows the samples block
    {
        SCOPED_TRACE("the samples block runs past the end of the image");
        StreamImage cut = built;
        cut.image.resize(last - 5);
        Expect(cut, none);
    }
    {
        SCOPED_TRACE("no terminator");
        StreamImage open = built;
        std::fill(open.image.begin() + last, open.image.begin() + last + 4, 0xFF);
        Expect(open, none);
    }
    {
        SCOPED_TRACE("a jump into the stack page");
        std::vector<Upload> low = driver;
        low.push_back({0x0100, Bytes(0x80, 0x00)});
        Expect(StreamImage({low}, 0x0110), none);
    }
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(testing::Message() << "noise with DIR code and entries, seed " << seed);
        StreamImage noise({}, kEntry, seed);
        std::mt19937 random(seed);
        for (int k = 0; k < 64; ++k) {
            uint32_t at = random() % (0x10000 - 64);
            Bytes code = DriverCode(k % 3);
            std::copy(code.begin(), code.end(), noise.image.begin() + at);
            std::copy(kTableEntries.begin(), kTableEntries.end(), noise.image.begin() + at + 20);
        }
        std::vector<FoundRun> spans;
        for (uint32_t at = 0; at + 64 < noise.image.size(); at += 61) spans.push_back({at, at + 27});
        noise.runs = spans;
        for (const RunAram& run : FindRunAram(noise.image.data(), 0x10000, spans)) EXPECT_FALSE(run.hasAram);
    }
}

}  // namespace
