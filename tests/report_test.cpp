// Runs `voxtrawl-cli report` on crafted ROM images and reads the page it
// writes: the embedded data must give back the ripper's own samples, and
// nothing from a file name may escape into markup or end a script.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli_runner.h"
#include "tests/report_page_reader.h"
#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kWavHeaderBytes = 44;

// Runs of different lengths, looped or not, with data that differs per
// run; filler between them never starts an attempt.
Bytes ThreeRunRom() {
    Bytes rom = Filler(7);
    struct Laid {
        unsigned blocks;
        uint8_t header;
        uint8_t data;
    } runs[] = {{65, 0x80, 0x13}, {90, 0x92, 0x75}, {70, 0xC0, 0xB9}};
    for (const Laid& run : runs) {
        Bytes bytes = MakeRun(run.blocks, run.header, 0x81, run.data);
        rom.insert(rom.end(), bytes.begin(), bytes.end());
        Bytes gap = Filler(5);
        rom.insert(rom.end(), gap.begin(), gap.end());
    }
    return rom;
}

using ReportTest = CliRunTest;

TEST_F(ReportTest, EmbeddedBlocksAreEachRunOnceFromTheRom) {
    Bytes image = ThreeRunRom();
    std::string rom = Put("game.sfc", image);
    CliResult result = Run({"report", rom, "--rate", "16000"});
    ASSERT_EQ(result.status, 0) << result.err;
    ASSERT_EQ(Run({"rip", rom, "--out", "wavs"}).status, 0);
    std::string page = ReadText(work + "/game.html");
    nlohmann::json data = PageData(page);
    Bytes brr = PageBrr(page);

    EXPECT_EQ(data["rom"]["name"], "game.sfc");
    EXPECT_EQ(data["rom"]["size"], image.size());
    EXPECT_EQ(data["rate"], 16000);
    EXPECT_EQ(data["minRunBytes"], 568);
    EXPECT_EQ(data["runsFound"], 3);
    EXPECT_EQ(data["decoder"], "spec");
    EXPECT_FALSE(data["isSpc"]);
    EXPECT_EQ(data["rates"], nlohmann::json({5500, 6000, 7333, 8000, 11025, 16000, 22050, 32000, 44100, 48000}));
    const nlohmann::json& samples = data["samples"];
    ASSERT_EQ(samples.size(), 3u);

    size_t offset = 0;
    bool loops[] = {false, true, false};
    for (size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE(i + 1);
        Bytes wav = ReadWholeFile(work + "/wavs/" + std::to_string(i + 1) + ".wav");
        ASSERT_GT(wav.size(), kWavHeaderBytes);
        uint32_t start = samples[i]["start"];
        uint32_t blocks = samples[i]["blocks"];
        EXPECT_EQ(samples[i]["end"], start + 9 * (blocks - 1));
        EXPECT_EQ(samples[i]["loop"], loops[i]);
        EXPECT_EQ(samples[i]["name"], std::to_string(i + 1));
        EXPECT_EQ(samples[i]["specBytes"], wav.size() - kWavHeaderBytes);
        EXPECT_EQ(samples[i]["brrOffset"], offset);
        ASSERT_LE(offset + 9 * blocks, brr.size());
        EXPECT_TRUE(std::equal(brr.begin() + offset, brr.begin() + offset + 9 * blocks, image.begin() + start));
        offset += 9 * blocks;
    }
    EXPECT_EQ(brr.size(), offset) << "each run is embedded once";
}

TEST_F(ReportTest, NamesFromOutsideCannotBecomeMarkup) {
    // Directories that spell "</script><script>alert(2)</script>" in the path.
    std::string dir = "x</script><script>alert(2)</script>";
    std::string name = "<img src=x onerror=alert(1)>&amp;'\".sfc";
    std::string rom = Put(dir + "/" + name, ThreeRunRom());
    CliResult result = Run({"report", rom});
    ASSERT_EQ(result.status, 0) << result.err;
    std::string page = ReadText(work + "/" + dir + "/<img src=x onerror=alert(1)>&amp;'\".html");

    // Only the template's own three script elements open and close.
    EXPECT_EQ(Count(page, "<script"), 3u);
    EXPECT_EQ(Count(page, "</script"), 3u);
    EXPECT_EQ(Count(page, "<img"), 0u);
    EXPECT_NE(page.find("<title>&lt;img src=x onerror=alert(1)&gt;&amp;amp;&#39;&quot;.sfc"), std::string::npos);
    nlohmann::json data = PageData(page);
    EXPECT_EQ(data["rom"]["name"], name);
    EXPECT_EQ(data["rom"]["path"], rom);
    EXPECT_EQ(data["samples"].size(), 3u);
}

TEST_F(ReportTest, PlaceholdersInANameStayText) {
    std::string rom = Put("{{BRR}}{{SCRIPT}}.sfc", ThreeRunRom());
    ASSERT_EQ(Run({"report", rom, "-o", "page.html"}).status, 0);
    std::string page = ReadText(work + "/page.html");
    EXPECT_EQ(PageData(page)["rom"]["name"], "{{BRR}}{{SCRIPT}}.sfc");
    EXPECT_EQ(Count(page, "'use strict'"), 1u);
}

TEST_F(ReportTest, BytesThatAreNotUtf8StillGiveValidJson) {
    std::string rom = Put(std::string("bad\xff\xfe name.sfc"), ThreeRunRom());
    CliResult result = Run({"report", rom, "-o", "page.html"});
    ASSERT_EQ(result.status, 0) << result.err;
    nlohmann::json data = PageData(ReadText(work + "/page.html"));
    EXPECT_EQ(data["rom"]["name"], "bad\xEF\xBF\xBD\xEF\xBF\xBD name.sfc");
}

TEST_F(ReportTest, WhereThePageGoes) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string page;  // empty: none written
    } cases[] = {
        {{"report", "game.sfc"}, 0, "game.html"},
        {{"report", "noext"}, 0, "noext.html"},
        {{"report", "some.dir/rom.smc"}, 0, "some.dir/rom.html"},
        {{"report", "dump.html"}, 0, "dump.html.html"},
        {{"report", "game.sfc", "-o", "out/x.htm"}, 1, ""},  // out/ does not exist
        {{"report", "game.sfc", "--out", "chosen.htm"}, 0, "chosen.htm"},
        {{"report", "game.sfc", "-o", "game.sfc"}, 2, ""},
        {{"report", "missing.sfc"}, 1, ""},
        {{"report", "game.sfc", "--rate", "0"}, 2, ""},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& arg : c.args) shown += arg + " ";
        SCOPED_TRACE(shown);
        for (const char* rom : {"game.sfc", "noext", "some.dir/rom.smc", "dump.html"}) Put(rom, ThreeRunRom());
        EXPECT_EQ(Run(c.args).status, c.status);
        if (!c.page.empty()) {
            EXPECT_EQ(PageData(ReadText(work + "/" + c.page))["samples"].size(), 3u);
            fs::remove(work + "/" + c.page);
        }
        EXPECT_TRUE(ReadWholeFile(work + "/game.sfc") == ThreeRunRom()) << "the ROM is never overwritten";
        EXPECT_FALSE(fs::exists(work + "/game.html"));
    }
}

TEST_F(ReportTest, NothingFoundStillGivesAPage) {
    std::string rom = Put("silent.sfc", Filler(3000));
    ASSERT_EQ(Run({"report", rom, "--min-run", "100"}).status, 0);
    std::string page = ReadText(work + "/silent.html");
    nlohmann::json data = PageData(page);
    EXPECT_EQ(data["runsFound"], 0);
    EXPECT_EQ(data["minRunBytes"], 100);
    EXPECT_EQ(data["rom"]["size"], 3000);
    EXPECT_TRUE(data["samples"].empty());
    EXPECT_TRUE(PageBrr(page).empty());
}

}  // namespace
