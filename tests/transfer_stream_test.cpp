#include <cstdint>
#include <random>

#include "core/stream_loops.h"
#include "core/transfer_stream.h"
#include "tests/spc_builder.h"
#include "tests/test_support.h"

namespace {

constexpr uint8_t kPage = 0x30;
constexpr uint32_t kTable = kPage * 0x100;
constexpr uint16_t kEntry = 0x0400;

struct Upload {
    uint32_t aram;
    Bytes data;
};

// Code at kEntry that stores kPage to DIR with one of the drivers' patterns.
Bytes DriverCode(unsigned pattern) {
    const Bytes patterns[] = {
        {0x8F, 0x5D, 0xF2, 0x8F, kPage, 0xF3},
        {0xE8, 0x5D, 0xC4, 0xF2, 0xE8, kPage, 0xC4, 0xF3},
        {0xE8, 0x5D, 0x8D, kPage, 0xDA, 0xF2},
    };
    const Bytes& store = patterns[pattern];
    Bytes code = {0x20, 0xCD, 0xEF, 0xBD};  // clrp; mov x,#$EF; mov sp,x
    code.resize(4 + store.size() + 2);
    std::copy(store.begin(), store.end(), code.begin() + 4);
    code[4 + store.size()] = 0x2F;  // bra $
    code[5 + store.size()] = 0xFE;
    return code;
}

Bytes Entries(std::initializer_list<std::pair<uint16_t, uint16_t>> words) {
    Bytes out;
    for (auto [start, loop] : words) out.insert(out.end(), {uint8_t(start), uint8_t(start >> 8), uint8_t(loop), uint8_t(loop >> 8)});
    return out;
}

// Samples at fixed audio RAM addresses, with their lengths in blocks.
struct Sample {
    uint32_t aram;
    unsigned blocks;
    bool loop;
};
const Sample kSamples[] = {{0x4000, 6, true}, {0x4100, 4, true}, {0x4200, 5, false}, {0x5000, 3, true}, {0x5100, 2, true}};
// Address loop at block 2; offset loop at block 1; no loop; address loop at block 0; offset 0.
const Bytes kTableEntries = Entries({{0x4000, 0x4012}, {0x4100, 0x0009}, {0x4200, 0x4200}});
const Bytes kMoreEntries = Entries({{0x5000, 0x5000}, {0x5100, 0x0000}});

Upload SampleBlock(std::initializer_list<unsigned> which) {
    const Sample& first = kSamples[*which.begin()];
    Upload up{first.aram, {}};
    for (unsigned k : which) {
        up.data.resize(kSamples[k].aram - first.aram, 0x00);
        Bytes brr = EncodeInstrument(kSamples[k].blocks, kSamples[k].loop);
        up.data.insert(up.data.end(), brr.begin(), brr.end());
    }
    return up;
}

// A 64 KiB image of noise holding the given streams, one after another
// from offset 0x1000; remembers where each sample landed.
struct StreamImage {
    Bytes image;
    std::vector<RunSpan> runs;  // one per kSamples entry, {0, 0} when not uploaded

    StreamImage(const std::vector<std::vector<Upload>>& streams, uint16_t jump = kEntry, uint32_t seed = 7)
        : image(0x10000), runs(std::size(kSamples), RunSpan{0, 0}) {
        std::mt19937 random(seed);
        for (uint8_t& byte : image) byte = static_cast<uint8_t>(random());
        uint32_t at = 0x1000;
        for (const std::vector<Upload>& stream : streams) {
            for (const Upload& up : stream) {
                PutLe16(&image[at], static_cast<uint16_t>(up.data.size()));
                PutLe16(&image[at + 2], static_cast<uint16_t>(up.aram));
                std::copy(up.data.begin(), up.data.end(), image.begin() + at + 4);
                for (size_t k = 0; k < std::size(kSamples); ++k) {
                    uint32_t offset = kSamples[k].aram - up.aram;
                    if (kSamples[k].aram >= up.aram && offset < up.data.size())
                        runs[k] = {at + 4 + offset, at + 4 + offset + 9 * (kSamples[k].blocks - 1)};
                }
                at += 4 + static_cast<uint32_t>(up.data.size());
            }
            PutLe16(&image[at], 0);
            PutLe16(&image[at + 2], jump);
            at += 4 + 0x40;
        }
    }
};

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
        EXPECT_EQ(got[k].loopStartSample, wants[k].loopStartSample);
        if (wants[k].hasAram) {
            EXPECT_EQ(got[k].aramStart, kSamples[k].aram);
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
        std::vector<RunSpan> spans;
        for (uint32_t at = 0; at + 64 < noise.image.size(); at += 61) spans.push_back({at, at + 27});
        noise.runs = spans;
        for (const RunAram& run : FindRunAram(noise.image.data(), 0x10000, spans)) EXPECT_FALSE(run.hasAram);
    }
}

}  // namespace
