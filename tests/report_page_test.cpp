// The report page builder called directly: what it embeds must read back
// as the report it was given, whatever the ROM's name holds.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/report_page.h"
#include "tests/report_page_reader.h"
#include "tests/test_support.h"

namespace {

Report ReportOf(const std::string& romPath, std::vector<ScannedRun> runs, const Bytes& pcm) {
    Report report;
    report.romPath = romPath;
    report.romSize = 4096;
    report.rate = 22050;
    report.minRunBytes = 100;
    report.runs = std::move(runs);
    report.pcm = pcm;
    return report;
}

constexpr RunOutcome kStored = RunOutcome::kStored;

TEST(ReportPage, PcmIsStandardBase64WithPadding) {
    // The test vectors of RFC 4648, section 10.
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        std::string page = BuildReportPage(ReportOf("game.sfc", {}, Bytes(plain.begin(), plain.end())));
        EXPECT_EQ(PagePcmText(page), encoded) << plain;
    }
    // Every byte value survives.
    Bytes all(256);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(255 - i);
    EXPECT_EQ(PagePcm(BuildReportPage(ReportOf("game.sfc", {}, all))), all);
}

TEST(ReportPage, SamplesCountTheirBlocksAndFollowEachOtherInThePcm) {
    Bytes pcm(2048 + 320);
    std::vector<ScannedRun> samples = {
        {0x10, 0x10 + 9 * 64, false, kStored, 0, 2048},  // 65 blocks
        {0x800, 0x800, true, kStored, 1, 0},             // a lone end block: no PCM
        {0x900, 0x900 + 9 * 10, false, kStored, 2, 320},
    };
    Report report = ReportOf("roms/sub dir/game.smc", samples, pcm);
    // Two more did not fit in the table, one more found no memory.
    report.runs.push_back({0xA00, 0xA00 + 9 * 70, false, RunOutcome::kTableFull, 0, 0});
    report.runs.push_back({0xD00, 0xD00 + 9 * 70, false, RunOutcome::kTableFull, 0, 0});
    report.runs.insert(report.runs.begin() + 1, {0x400, 0x400 + 9 * 70, false, RunOutcome::kNoMemory, 0, 0});
    nlohmann::json data = PageData(BuildReportPage(report));

    EXPECT_EQ(data["rom"]["name"], "game.smc");
    EXPECT_EQ(data["rom"]["path"], "roms/sub dir/game.smc");
    EXPECT_EQ(data["rom"]["size"], 4096);
    EXPECT_EQ(data["rate"], 22050);
    EXPECT_EQ(data["minRunBytes"], 100);
    EXPECT_EQ(data["runsFound"], 6);
    EXPECT_EQ(data["notStoredLimit"], 2);
    EXPECT_EQ(data["notStoredMemory"], 1);
    EXPECT_EQ(data["allInOneBytes"], 2048 + 320);
    EXPECT_EQ(data["allInOneFits"], true);
    EXPECT_EQ(data["maxSamples"], 1280);
    EXPECT_EQ(data["rates"], nlohmann::json({5500, 6000, 7333, 8000, 11025, 16000, 22050, 32000, 44100, 48000}));
    ASSERT_EQ(data["samples"].size(), 3u);
    const unsigned blocks[] = {65, 1, 11};
    const unsigned offsets[] = {0, 2048, 2048};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const nlohmann::json& sample = data["samples"][i];
        EXPECT_EQ(sample["start"], samples[i].start);
        EXPECT_EQ(sample["end"], samples[i].end);
        EXPECT_EQ(sample["loop"], samples[i].loop);
        EXPECT_EQ(sample["bytes"], samples[i].bytes);
        EXPECT_EQ(sample["blocks"], blocks[i]);
        EXPECT_EQ(sample["offset"], offsets[i]);
        EXPECT_EQ(sample["file"], std::to_string(i + 1) + ".wav");
    }

    // PCM a WAVE header cannot describe: no one-file download then.
    report.runs = {{0x10, 0x10 + 9 * 64, false, kStored, 0, 0xFFFFFFFFu - 36},
                   {0x900, 0x900 + 9 * 64, false, kStored, 1, 1}};
    data = PageData(BuildReportPage(report));
    EXPECT_EQ(data["allInOneBytes"], 0xFFFFFFFFu - 35);
    EXPECT_EQ(data["allInOneFits"], false);
}

TEST(ReportPage, APathIsOnlyEverText) {
    // Markup, a comment opener, the template's own placeholders and bytes
    // that are not UTF-8, in the directory and the file name.
    const std::string path = "</script><!--/{{PCM}}{{SCRIPT}}<b>&\xff.sfc";
    Bytes pcm = {1, 2, 3, 4};
    std::string page = BuildReportPage(ReportOf(path, {}, pcm));

    EXPECT_EQ(Count(page, "<script"), 3u) << "only the template's own script elements";
    EXPECT_EQ(Count(page, "</script"), 3u);
    EXPECT_EQ(Count(page, "<!--"), 0u);
    EXPECT_EQ(Count(page, "<b>"), 0u);
    EXPECT_EQ(Count(page, "'use strict'"), 1u) << "a placeholder in the name is not filled";
    EXPECT_NE(page.find("<title>{{PCM}}{{SCRIPT}}&lt;b&gt;&amp;\xEF\xBF\xBD.sfc"), std::string::npos);
    nlohmann::json data = PageData(page);
    EXPECT_EQ(data["rom"]["name"], "{{PCM}}{{SCRIPT}}<b>&\xEF\xBF\xBD.sfc");
    EXPECT_EQ(data["rom"]["path"], "</script><!--/{{PCM}}{{SCRIPT}}<b>&\xEF\xBF\xBD.sfc");
    EXPECT_EQ(PagePcm(page), pcm);
}

}  // namespace
