// Runs the built voxtrawl-cli on generated SPC snapshots and ROMs with the
// decoder, format, silence and mapping options, and checks what it writes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/brr/brr_chip_decoder.h"
#include "engine/files/little_endian.h"
#include "tests/cli_runner.h"
#include "tests/spc_builder.h"
#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kDir = 0x0300;

// A snapshot with DIR set: entry 0 plays once, 1 loops from its fourth
// block, 2 is one silent block, 3 repeats 1; a voice plays entry 1.
SpcBuilder GameSpc() {
    SpcBuilder spc;
    spc.SetDir(kDir >> 8);
    spc.Put(0x0400, EncodeInstrument(20, false));
    spc.Put(0x0800, EncodeInstrument(10, true, 20));
    spc.Put(0x0900, {0x01, 0, 0, 0, 0, 0, 0, 0, 0});
    spc.PutEntry(kDir, 0, 0x0400, 0x0400);
    spc.PutEntry(kDir, 1, 0x0800, 0x0800 + 27);
    spc.PutEntry(kDir, 2, 0x0900, 0x0900);
    spc.PutEntry(kDir, 3, 0x0800, 0x0800 + 27);
    spc.SetVoice(0, 1);
    return spc;
}

// Runs of 8 blocks at 0, 100 and 200: the middle one all zero data.
Bytes RomWithSilentRun() {
    Bytes rom(300, 0xFC);
    for (uint32_t at : {0u, 100u, 200u}) {
        Bytes run = MakeRun(8, 0x84, 0x85, at == 100 ? 0x00 : 0x21);
        std::copy(run.begin(), run.end(), rom.begin() + at);
    }
    return rom;
}

class SampleCliTest : public CliRunTest {
protected:
    nlohmann::json ListJson(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"list", "--json"};
        all.insert(all.end(), args.begin(), args.end());
        CliResult result = Run(all);
        EXPECT_EQ(result.status, 0) << result.err;
        return nlohmann::json::parse(result.out);
    }
    Bytes Read(const std::string& name) { return ReadWholeFile(work + "/" + name); }
};

std::vector<int16_t> Pcm(const Bytes& wav, size_t from, size_t count) {
    std::vector<int16_t> pcm;
    for (size_t i = 0; i < count; ++i) pcm.push_back(static_cast<int16_t>(GetLe16(wav.data() + from + 2 * i)));
    return pcm;
}

TEST_F(SampleCliTest, SpcListingFollowsTheDirectory) {
    SpcBuilder spc = GameSpc();
    nlohmann::json listing = ListJson({Put("song.spc", spc.file)});
    EXPECT_EQ(listing["decoder"], "chip");
    EXPECT_EQ(listing["rate"], 32000);
    EXPECT_EQ(listing["directory"], kDir);
    EXPECT_EQ(listing["directorySource"], "register");
    EXPECT_TRUE(listing["mapping"].is_null());
    const nlohmann::json& samples = listing["samples"];
    ASSERT_EQ(samples.size(), 4u);
    EXPECT_EQ(samples[0]["aramStart"], 0x0400);
    EXPECT_EQ(samples[0]["start"], 0x0500);  // file offset: audio RAM starts at 0x100
    EXPECT_EQ(samples[0]["blocks"], 20);
    EXPECT_EQ(samples[0]["bytes"], 20 * 32);  // the end block is decoded too
    EXPECT_FALSE(samples[0]["loop"]);
    EXPECT_TRUE(samples[0]["loopStartSample"].is_null());
    EXPECT_TRUE(samples[0]["snesStart"].is_null());
    EXPECT_EQ(samples[1]["aramLoop"], 0x0800 + 27);
    EXPECT_EQ(samples[1]["aramEnd"], 0x0800 + 9 * 9);
    EXPECT_EQ(samples[1]["loopStartSample"], 48);
    EXPECT_FALSE(samples[1]["loopIsOffset"]);
    EXPECT_TRUE(samples[2]["silent"]);
    EXPECT_FALSE(samples[1]["silent"]);
    EXPECT_EQ(samples[3]["sameAs"], 1);
    EXPECT_TRUE(samples[1]["sameAs"].is_null());
    EXPECT_EQ(samples[3]["index"], 3);
    EXPECT_EQ(samples[1]["file"], "01.wav");
    EXPECT_EQ(samples[3]["file"], "01.wav");  // sounds from the entry it repeats
}

TEST_F(SampleCliTest, SpcRipWritesEachDistinctSampleWithItsLoop) {
    SpcBuilder spc = GameSpc();
    std::string song = Put("song.spc", spc.file);
    CliResult result = Run({"rip", song, "--out", "out"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(fs::exists(work + "/out/00.wav"));
    EXPECT_TRUE(fs::exists(work + "/out/02.wav"));
    EXPECT_FALSE(fs::exists(work + "/out/03.wav"));  // the same as 01
    Bytes wav = Read("out/01.wav");
    const uint32_t frames = 10 * 16;
    ASSERT_EQ(wav.size(), 44 + frames * 2 + 68);
    EXPECT_EQ(GetLe32(wav.data() + 4), wav.size() - 8);
    EXPECT_EQ(GetLe32(wav.data() + 24), 32000u);
    EXPECT_EQ(GetLe32(wav.data() + 40), frames * 2);
    std::vector<int16_t> expected(frames);
    DecodeBrrChip(spc.Aram() + 0x0800, 10, expected.data());
    EXPECT_EQ(Pcm(wav, 44, frames), expected);
    const uint8_t* smpl = wav.data() + 44 + frames * 2;
    EXPECT_EQ(Bytes(smpl, smpl + 4), Bytes({'s', 'm', 'p', 'l'}));
    EXPECT_EQ(GetLe32(smpl + 8 + 36 + 8), 48u);
    EXPECT_EQ(GetLe32(smpl + 8 + 36 + 12), frames - 1);
    // No loop, no smpl chunk.
    EXPECT_EQ(Read("out/00.wav").size(), 44 + 20 * 32u);

    if (std::system("command -v sndfile-info >/dev/null 2>&1") != 0) GTEST_SKIP() << "sndfile-info not installed";
    std::string info = "sndfile-info " + Quote(work + "/out/01.wav") + " > " + Quote(root + "/info.txt");
    ASSERT_EQ(std::system(info.c_str()), 0);
    std::string report = ReadText(root + "/info.txt");
    EXPECT_NE(report.find("Loop Count   : 1"), std::string::npos) << report;
    EXPECT_NE(report.find("Start :    48"), std::string::npos) << report;
}

TEST_F(SampleCliTest, SpcDirectoryFromCodeOrScannedAudioRam) {
    SpcBuilder spc = GameSpc();
    spc.SetDir(0);
    spc.Put(0x0200, {0xE8, 0x5D, 0xC4, 0xF2, 0xE8, kDir >> 8, 0xC4, 0xF3});
    // Not played: the code at $0200 is no driver, and what it keys is beside the point.
    nlohmann::json fromCode = ListJson({Put("code.spc", spc.file), "--play", "0"});
    EXPECT_EQ(fromCode["directorySource"], "code");
    EXPECT_EQ(fromCode["samples"].size(), 4u);

    // Without the code nothing says where the directory is: scanned, with
    // the minimum run, and said so. Unused audio RAM here holds bytes that
    // start no chain.
    SpcBuilder bare;
    bare.Put(0, Bytes(0x10000, 0xFF));
    bare.Put(0x0400, EncodeInstrument(20, false));
    bare.Put(0x1000, EncodeInstrument(8, false));
    nlohmann::json scanned = ListJson({Put("bare.spc", bare.file), "--min-run", "100"});
    EXPECT_EQ(scanned["directorySource"], "scan");
    EXPECT_TRUE(scanned["directory"].is_null());
    ASSERT_EQ(scanned["samples"].size(), 1u);  // the 8-block tone spans only 63 bytes
    EXPECT_EQ(scanned["samples"][0]["start"], 0x0500);
    EXPECT_EQ(scanned["samples"][0]["blocks"], 20);
    EXPECT_FALSE(scanned["samples"][0].contains("index"));
    CliResult table = Run({"list", "bare.spc"});
    EXPECT_NE(table.out.find("no sample directory found"), std::string::npos) << table.out;
}

TEST_F(SampleCliTest, SpcRefusalsAndShortFiles) {
    SpcBuilder spc = GameSpc();
    std::string song = Put("song.spc", spc.file);
    CliResult spec = Run({"list", song, "--decoder", "spec"});
    EXPECT_EQ(spec.status, 2);
    EXPECT_NE(spec.err.find("--decoder spec"), std::string::npos) << spec.err;

    Bytes cut(spc.file.begin(), spc.file.begin() + 0x10180 - 1);
    CliResult shortFile = Run({"rip", Put("cut.spc", cut)});
    EXPECT_EQ(shortFile.status, 1);
    EXPECT_NE(shortFile.err.find("cut.spc"), std::string::npos) << shortFile.err;
    EXPECT_FALSE(fs::exists(work + "/cut"));
}

// "-" is standard output for an SPC too, not a file of that name.
TEST_F(SampleCliTest, SpcOneFileGoesToStandardOutput) {
    std::string song = Put("song.spc", GameSpc().file);
    ASSERT_EQ(Run({"rip", song, "--one-file", "all.wav"}).status, 0);
    CliResult piped = Run({"rip", song, "--one-file", "-"});
    EXPECT_EQ(piped.status, 0) << piped.err;
    std::string file = ReadText(work + "/all.wav");
    EXPECT_EQ(piped.out, file);
    EXPECT_FALSE(fs::exists(work + "/-"));
}

TEST_F(SampleCliTest, BrrExportWithAndWithoutTheLoopHeader) {
    SpcBuilder spc = GameSpc();
    std::string song = Put("song.spc", spc.file);
    ASSERT_EQ(Run({"rip", song, "--format", "brr", "--out", "plain"}).status, 0);
    ASSERT_EQ(Run({"rip", song, "--format", "brr", "--brr-loop-header", "--out", "headed"}).status, 0);
    Bytes blocks(spc.Aram() + 0x0800, spc.Aram() + 0x0800 + 90);
    EXPECT_EQ(Read("plain/01.brr"), blocks);
    Bytes headed = Read("headed/01.brr");
    ASSERT_EQ(headed.size(), 92u);
    EXPECT_EQ(headed[0], 27);
    EXPECT_EQ(headed[1], 0);
    EXPECT_EQ(Read("headed/00.brr")[0], 0);  // plays once: offset 0
    EXPECT_EQ(Run({"rip", song, "--brr-loop-header"}).status, 2);
}

TEST_F(SampleCliTest, ChipDecoderAndSkippedSilenceOnARom) {
    std::string rom = Put("game.sfc", RomWithSilentRun());
    nlohmann::json listing = ListJson({rom, "--min-run", "0", "--decoder", "chip"});
    EXPECT_EQ(listing["decoder"], "chip");
    ASSERT_EQ(listing["samples"].size(), 3u);
    EXPECT_EQ(listing["samples"][0]["bytes"], 8 * 32);
    EXPECT_TRUE(listing["samples"][1]["silent"]);
    EXPECT_FALSE(listing["samples"][2]["silent"]);

    CliResult rip = Run({"rip", rom, "--min-run", "0", "--decoder", "chip", "--skip-silent", "--out", "out"});
    ASSERT_EQ(rip.status, 0) << rip.err;
    EXPECT_TRUE(fs::exists(work + "/out/1.wav"));
    EXPECT_FALSE(fs::exists(work + "/out/2.wav"));
    EXPECT_TRUE(fs::exists(work + "/out/3.wav"));
    Bytes wav = Read("out/3.wav");
    ASSERT_EQ(wav.size(), 44 + 8 * 32u);
    Bytes run = MakeRun(8, 0x84, 0x85, 0x21);
    std::vector<int16_t> expected(8 * 16);
    DecodeBrrChip(run.data(), 8, expected.data());
    EXPECT_EQ(Pcm(wav, 44, 8 * 16), expected);

    // The specified decoder skips silence too, and its files stay as they were.
    ASSERT_EQ(Run({"rip", rom, "--min-run", "0", "--out", "all"}).status, 0);
    ASSERT_EQ(Run({"rip", rom, "--min-run", "0", "--skip-silent", "--out", "some"}).status, 0);
    EXPECT_EQ(Read("some/1.wav"), Read("all/1.wav"));
    EXPECT_EQ(Read("some/3.wav"), Read("all/3.wav"));
    EXPECT_FALSE(fs::exists(work + "/some/2.wav"));
}

TEST_F(SampleCliTest, AnEndBlockCutOffByTheImageEndReadsAsZeros) {
    // The end block's header is the image's last byte: a run the scan
    // finds, whose end block data lies beyond the file.
    Bytes rom = MakeRun(8, 0x84, 0x85, 0x21);
    rom.resize(rom.size() - 8);
    std::string name = Put("cut.sfc", rom);
    ASSERT_EQ(Run({"rip", name, "--min-run", "0", "--format", "brr", "--out", "brr"}).status, 0);
    Bytes whole = rom;
    whole.resize(rom.size() + 8, 0);
    EXPECT_EQ(Read("brr/1.brr"), whole);
    ASSERT_EQ(Run({"rip", name, "--min-run", "0", "--decoder", "chip", "--out", "wav"}).status, 0);
    std::vector<int16_t> expected(8 * 16);
    DecodeBrrChip(whole.data(), 8, expected.data());
    EXPECT_EQ(Pcm(Read("wav/1.wav"), 44, 8 * 16), expected);
}

TEST_F(SampleCliTest, SnesAddressesFromTheDetectedOrForcedMapping) {
    Bytes demo = ReadWholeFile(VOXTRAWL_SOURCE_DIR "/assets/demo.sfc");
    nlohmann::json detected = ListJson({Put("demo.sfc", demo)});
    EXPECT_EQ(detected["mapping"], "lorom");
    EXPECT_EQ(detected["copierHeader"], 0);
    ASSERT_FALSE(detected["samples"].empty());
    uint32_t start = detected["samples"][0]["start"];
    char expected[16];
    std::snprintf(expected, sizeof expected, "$%02X:%04X", 0x80 | start >> 15, 0x8000 | (start & 0x7FFF));
    EXPECT_EQ(detected["samples"][0]["snesStart"], expected);

    // A copier header shifts every address by 512 bytes.
    Bytes copied(512 + demo.size(), 0);
    std::copy(demo.begin(), demo.end(), copied.begin() + 512);
    nlohmann::json withCopier = ListJson({Put("copied.smc", copied)});
    EXPECT_EQ(withCopier["copierHeader"], 512);
    EXPECT_EQ(withCopier["samples"][0]["start"], start + 512);
    EXPECT_EQ(withCopier["samples"][0]["snesStart"], expected);

    nlohmann::json hirom = ListJson({"demo.sfc", "--mapping", "hirom"});
    EXPECT_EQ(hirom["mapping"], "hirom");
    std::snprintf(expected, sizeof expected, "$%02X:%04X", 0xC0 | start >> 16, start & 0xFFFF);
    EXPECT_EQ(hirom["samples"][0]["snesStart"], expected);
    nlohmann::json none = ListJson({"demo.sfc", "--mapping", "none"});
    EXPECT_TRUE(none["mapping"].is_null());
    EXPECT_TRUE(none["samples"][0]["snesEnd"].is_null());
}

}  // namespace
