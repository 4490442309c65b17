// The report page builder called directly: what it embeds must read back
// as the report it was given, whatever the ROM's name holds.
#include <cstdint>
#include <string>
#include <vector>

#include "report/report_page.h"
#include "tests/report_page_reader.h"
#include "tests/test_support.h"

namespace {

Report ReportOf(const std::string& romPath, std::vector<ReportSample> samples, const Bytes& brr) {
    Report report;
    report.romPath = romPath;
    report.romSize = 4096;
    report.rate = 22050;
    report.minRunBytes = 100;
    report.runsFound = static_cast<uint32_t>(samples.size());
    report.samples = std::move(samples);
    report.brr = brr;
    return report;
}

TEST(ReportPage, BlocksAreStandardBase64WithPadding) {
    // The test vectors of RFC 4648, section 10.
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        std::string page = BuildReportPage(ReportOf("game.sfc", {}, Bytes(plain.begin(), plain.end())));
        EXPECT_EQ(PageBrrText(page), encoded) << plain;
    }
    // Every byte value survives.
    Bytes all(256);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(255 - i);
    EXPECT_EQ(PageBrr(BuildReportPage(ReportOf("game.sfc", {}, all))), all);
}

TEST(ReportPage, SamplesCarryTheirBlocksFactsAndFileNames) {
    Bytes brr(9 * (65 + 1 + 11));
    nlohmann::ordered_json facts = {{"silent", false}, {"snesStart", "$80:8010"}};
    std::vector<ReportSample> samples = {
        {0x10, 0x10 + 9 * 64, false, 2048, 0, "1", true, facts},  // 65 blocks
        {0x800, 0x800, true, 0, 9 * 65, "2", true},                // a lone end block: no PCM
        {0x900, 0x900 + 9 * 10, false, 320, 9 * 66, "4", true},    // slot 3: an earlier run found no memory
    };
    Report report = ReportOf("roms/sub dir/game.smc", samples, brr);
    report.runsFound = 6;
    report.notStoredLimit = 2;
    report.notStoredMemory = 1;
    report.allInOneBytes = 2048 + 320;
    report.setFields = {{"mapping", "lorom"}, {"copierHeader", 512}};
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
    EXPECT_EQ(data["decoder"], "spec");
    EXPECT_EQ(data["isSpc"], false);
    EXPECT_EQ(data["mapping"], "lorom");
    EXPECT_EQ(data["copierHeader"], 512);
    EXPECT_EQ(data["rates"], nlohmann::json({5500, 6000, 7333, 8000, 11025, 16000, 22050, 32000, 44100, 48000}));
    ASSERT_EQ(data["samples"].size(), 3u);
    const unsigned blocks[] = {65, 1, 11};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const nlohmann::json& sample = data["samples"][i];
        EXPECT_EQ(sample["start"], samples[i].start);
        EXPECT_EQ(sample["end"], samples[i].end);
        EXPECT_EQ(sample["loop"], samples[i].loop);
        EXPECT_EQ(sample["specBytes"], samples[i].specBytes);
        EXPECT_EQ(sample["blocks"], blocks[i]);
        EXPECT_EQ(sample["brrOffset"], samples[i].brrOffset);
        EXPECT_EQ(sample["file"], samples[i].name + ".wav");
    }
    EXPECT_EQ(data["samples"][0]["snesStart"], "$80:8010");
    EXPECT_EQ(data["samples"][0]["silent"], false);

    // PCM a WAVE header cannot describe: no one-file download then.
    report.allInOneBytes = 0xFFFFFFFFu - 35;
    data = PageData(BuildReportPage(report));
    EXPECT_EQ(data["allInOneFits"], false);
}

TEST(ReportPage, APathIsOnlyEverText) {
    // Markup, a comment opener, the template's own placeholders and bytes
    // that are not UTF-8, in the directory and the file name.
    const std::string path = "</script><!--/{{BRR}}{{SCRIPT}}<b>&\xff.sfc";
    Bytes brr = {1, 2, 3, 4};
    std::string page = BuildReportPage(ReportOf(path, {}, brr));

    EXPECT_EQ(Count(page, "<script"), 3u) << "only the template's own script elements";
    EXPECT_EQ(Count(page, "</script"), 3u);
    EXPECT_EQ(Count(page, "<!--"), 0u);
    EXPECT_EQ(Count(page, "<b>"), 0u);
    EXPECT_EQ(Count(page, "'use strict'"), 1u) << "a placeholder in the name is not filled";
    EXPECT_NE(page.find("<title>{{BRR}}{{SCRIPT}}&lt;b&gt;&amp;\xEF\xBF\xBD.sfc"), std::string::npos);
    nlohmann::json data = PageData(page);
    EXPECT_EQ(data["rom"]["name"], "{{BRR}}{{SCRIPT}}<b>&\xEF\xBF\xBD.sfc");
    EXPECT_EQ(data["rom"]["path"], "</script><!--/{{BRR}}{{SCRIPT}}<b>&\xEF\xBF\xBD.sfc");
    EXPECT_EQ(PageBrr(page), brr);
}

}  // namespace
