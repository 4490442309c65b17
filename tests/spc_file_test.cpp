#include <cstdint>

#include "engine/brr/brr_block.h"
#include "engine/inputs/spc_file.h"
#include "tests/spc_builder.h"
#include "tests/test_support.h"

namespace {

constexpr uint32_t kDir = 0x0300;

// A snapshot as a playing game leaves it: DIR set, four instruments after
// the directory (one looping from its fourth block, one from its start),
// a fifth entry repeating the second, voices on two of them.
struct GameSnapshot {
    SpcBuilder spc;
    uint16_t starts[4] = {0x0400, 0x0800, 0x1000, 0x2000};
    Bytes instruments[4] = {EncodeInstrument(20, false), EncodeInstrument(10, true), EncodeInstrument(64, true),
                            EncodeInstrument(2, false)};

    GameSnapshot() {
        spc.SetDir(kDir >> 8);
        for (unsigned i = 0; i < 4; ++i) spc.Put(starts[i], instruments[i]);
        spc.PutEntry(kDir, 0, starts[0], starts[0]);
        spc.PutEntry(kDir, 1, starts[1], starts[1] + 3 * 9);
        spc.PutEntry(kDir, 2, starts[2], starts[2]);
        spc.PutEntry(kDir, 3, starts[3], 0);
        spc.PutEntry(kDir, 4, starts[1], starts[1] + 3 * 9);
        spc.SetVoice(0, 1);
        spc.SetVoice(3, 2, 0x0800);
    }
    SampleDirectory Find() { return FindSampleDirectory(spc.Aram(), spc.Dsp()); }
};

TEST(SpcFileTest, SignatureIsTheFirst27Bytes) {
    SpcBuilder spc;
    EXPECT_TRUE(HasSpcSignature(spc.file.data(), spc.file.size()));
    EXPECT_TRUE(HasSpcSignature(spc.file.data(), 27));
    EXPECT_FALSE(HasSpcSignature(spc.file.data(), 26));
    spc.file[26] = 'x';
    EXPECT_FALSE(HasSpcSignature(spc.file.data(), spc.file.size()));
}

TEST(SpcFileTest, DirectoryFromTheRegisterWithLoopsAndRepeats) {
    GameSnapshot game;
    SampleDirectory dir = game.Find();
    EXPECT_EQ(dir.source, DirectorySource::Register);
    EXPECT_EQ(dir.address, kDir);
    ASSERT_EQ(dir.samples.size(), 5u);
    for (unsigned i = 0; i < 4; ++i) {
        const SpcSample& s = dir.samples[i];
        EXPECT_EQ(s.index, i);
        EXPECT_EQ(s.start, game.starts[i]);
        EXPECT_EQ(s.Blocks() * 9, game.instruments[i].size());
        EXPECT_EQ(s.sameAs, -1);
    }
    EXPECT_EQ(dir.samples[0].loop, LoopKind::None);
    EXPECT_EQ(dir.samples[1].loop, LoopKind::Address);
    EXPECT_EQ(dir.samples[1].LoopStartSample(), 48u);
    EXPECT_EQ(dir.samples[2].loop, LoopKind::Address);
    EXPECT_EQ(dir.samples[2].LoopStartSample(), 0u);
    EXPECT_EQ(dir.samples[4].sameAs, 1);
    EXPECT_EQ(dir.samples[4].start, game.starts[1]);
}

TEST(SpcFileTest, LoopWordsThatAreOffsetsOrPointNowhere) {
    GameSnapshot game;
    game.spc.PutEntry(kDir, 1, game.starts[1], 5 * 9);          // an offset from the start
    game.spc.PutEntry(kDir, 2, game.starts[2], game.starts[2] + 4);  // inside, but not on a block
    game.spc.PutEntry(kDir, 4, game.starts[1], 0xF000);          // outside the sample either way
    SampleDirectory dir = game.Find();
    ASSERT_EQ(dir.samples.size(), 5u);
    EXPECT_EQ(dir.samples[1].loop, LoopKind::Offset);
    EXPECT_EQ(dir.samples[1].loopAddress, game.starts[1] + 45u);
    EXPECT_EQ(dir.samples[1].LoopStartSample(), 80u);
    EXPECT_EQ(dir.samples[2].loop, LoopKind::Unknown);
    EXPECT_EQ(dir.samples[4].loop, LoopKind::Unknown);
    EXPECT_EQ(dir.samples[4].sameAs, -1);  // other loop word: another instrument
}

TEST(SpcFileTest, DirectoryFromEachDriverCodePattern) {
    const Bytes patterns[] = {
        {0x8F, 0x5D, 0xF2, 0x8F, kDir >> 8, 0xF3},
        {0xE8, 0x5D, 0xC4, 0xF2, 0xE8, kDir >> 8, 0xC4, 0xF3},
        {0xE8, 0x5D, 0x8D, kDir >> 8, 0xDA, 0xF2},
    };
    for (const Bytes& code : patterns) {
        GameSnapshot game;
        game.spc.SetDir(0);
        // A decoy first: the same store of a page holding no samples.
        Bytes decoy = code;
        for (uint8_t& byte : decoy)
            if (byte == kDir >> 8) byte = 0x7F;
        game.spc.Put(0x0200, decoy);
        game.spc.Put(0x0240, code);
        SampleDirectory dir = game.Find();
        EXPECT_EQ(dir.source, DirectorySource::Code);
        EXPECT_EQ(dir.address, kDir);
        EXPECT_EQ(dir.samples.size(), 5u);
    }
}

TEST(SpcFileTest, NoRegisterNoCodeMeansScan) {
    GameSnapshot game;
    game.spc.SetDir(1);  // pages 0 and 1 never hold the directory
    SampleDirectory dir = game.Find();
    EXPECT_EQ(dir.source, DirectorySource::Scan);
    EXPECT_TRUE(dir.samples.empty());
    // A register pointing at a page of no samples is not believed either.
    game.spc.SetDir(0x50);
    EXPECT_EQ(game.Find().source, DirectorySource::Scan);
}

TEST(SpcFileTest, FirstEntryThatIsNotASampleEndsTheDirectory) {
    struct Case {
        const char* what;
        uint16_t start;
        Bytes at;  // bytes placed at start
    } cases[] = {
        {"a chain that runs off the end of audio RAM", 0xFFF7, Bytes(9, 0x00)},
        {"a chain that never meets an end flag", 0xFF00, Bytes(0x100, 0xD2)},
        {"a start on the stack page", 0x0100, EncodeInstrument(2, false)},
        // The entry's own bytes make a one-block looping chain at kDir + 13.
        {"a sample over the directory's own entries", kDir + 13, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GameSnapshot game;
        game.spc.Put(c.start, c.at);
        game.spc.PutEntry(kDir, 3, c.start, c.start);
        SampleDirectory dir = game.Find();
        ASSERT_EQ(dir.source, DirectorySource::Register);
        EXPECT_EQ(dir.samples.size(), 3u);
    }
}

TEST(SpcFileTest, RangesAboveTwelveAndUnusedSlots) {
    struct Entry {
        unsigned i;
        uint16_t start, loop;
    };
    constexpr uint16_t kJunk = 0x5000;  // a chain of range-13 headers
    struct Case {
        const char* what;
        std::vector<Entry> entries;  // written over the game's directory
        std::vector<unsigned> found;
    } cases[] = {
        {"a range-13 block inside sample 2", {}, {0, 1, 2, 3, 4}},
        {"unused slot 0", {{0, 0x0000, 0x0000}}, {1, 2, 3, 4}},
        {"unused slots 0 and 2, one of them 0xFFFF", {{0, 0xFFFF, 0xFFFF}, {2, 0, 0}}, {1, 3, 4}},
        {"after an unused slot, a loop word off the chain ends it", {{2, 0, 0}, {4, 0x0800, 0xF000}}, {0, 1, 3}},
        {"before any unused slot, a loop word off the chain is kept", {{4, 0x0800, 0xF000}}, {0, 1, 2, 3, 4}},
        {"junk behind a zeroed tail", {{8, kJunk, 0x0400}, {9, kJunk + 9, 0x7E00}}, {0, 1, 2, 3, 4}},
        {"a real entry behind unused slots", {{8, kJunk, kJunk + 18}}, {0, 1, 2, 3, 4, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GameSnapshot game;
        Bytes junk(5 * 9, 0xD0);
        junk[4 * 9] = 0xD1;
        game.spc.Put(kJunk, junk);
        game.spc.Put(game.starts[2] + 9, {0xD0});
        for (const Entry& e : c.entries) game.spc.PutEntry(kDir, e.i, e.start, e.loop);
        SampleDirectory dir = game.Find();
        ASSERT_EQ(dir.source, DirectorySource::Register);
        std::vector<unsigned> found;
        for (const SpcSample& sample : dir.samples) found.push_back(sample.index);
        EXPECT_EQ(found, c.found);
    }
}

TEST(SpcFileTest, EntriesInsideAnEarlierSampleEndTheDirectory) {
    // Samples right behind the directory, as build tools place them: what
    // follows entry 1 is sample data, however much it looks like entries.
    SpcBuilder spc;
    spc.SetDir(0x02);
    Bytes first = EncodeInstrument(3, false);
    Bytes second = EncodeInstrument(2, false);
    spc.Put(0x0208, first);
    spc.Put(0x0600, second);
    spc.PutEntry(0x0200, 0, 0x0208, 0x0208);
    spc.PutEntry(0x0200, 1, 0x0600, 0x0600);
    // Entry 2 lies inside the first sample; make it read as a valid entry.
    spc.Put(0x0208, {0x00, 0x06, 0x00, 0x06});
    SampleDirectory dir = FindSampleDirectory(spc.Aram(), spc.Dsp());
    EXPECT_EQ(dir.samples.size(), 2u);
}

TEST(SpcFileTest, DirectoryAtTheLastPageStopsAtTheEndOfAudioRam) {
    SpcBuilder spc;
    spc.SetDir(0xFF);
    Bytes tone = EncodeInstrument(4, true);
    spc.Put(0x0400, tone);
    for (unsigned i = 0; i < 64; ++i) spc.PutEntry(0xFF00, i, 0x0400, 0x0400);
    // What wrapping would read next: page 0, which here looks like entries.
    for (unsigned i = 0; i < 8; ++i) spc.PutEntry(0x0000, i, 0x0400, 0x0400);
    SampleDirectory dir = FindSampleDirectory(spc.Aram(), spc.Dsp());
    EXPECT_EQ(dir.address, 0xFF00u);
    ASSERT_EQ(dir.samples.size(), 64u);
    EXPECT_EQ(dir.samples[63].sameAs, 0);
}

TEST(SpcFileTest, AtMost256Entries) {
    SpcBuilder spc;
    spc.SetDir(0x10);
    spc.Put(0x8000, EncodeInstrument(2, false));
    for (unsigned i = 0; i < 300; ++i) spc.PutEntry(0x1000, i, 0x8000, static_cast<uint16_t>(i));
    SampleDirectory dir = FindSampleDirectory(spc.Aram(), spc.Dsp());
    EXPECT_EQ(dir.samples.size(), 256u);
    EXPECT_EQ(dir.samples[255].sameAs, -1);  // each loop word differs
}

}  // namespace
