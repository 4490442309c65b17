// Runs the built voxtrawl-cli on generated ROM images whose driver uploads
// its code, its sample directory and its samples in transfer streams, and
// checks the audio RAM addresses and loops the ROM's rows get in list,
// list --json and the page, and the files rip writes with each decoder.
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/chip_brr_model.h"
#include "tests/cli_runner.h"
#include "tests/report_page_reader.h"
#include "tests/spc_builder.h"
#include "tests/stream_builder.h"
#include "tests/test_support.h"

using nlohmann::json;

namespace {

constexpr uint32_t kSampleBase = 0x4000;
constexpr uint32_t kLoneBase = 0x6000;
const char* const kMinRun = "27";  // four-block samples qualify

// Eight blocks of random data whose loop block (3) predicts with filter 2,
// so that the chip's passes over the loop differ before one repeats.
Bytes FilterTwoSample() {
    std::mt19937 random(5);
    Bytes blocks(9 * 8);
    for (uint8_t& byte : blocks) byte = static_cast<uint8_t>(random());
    for (unsigned b = 0; b < 8; ++b) {
        unsigned filter = b == 3 ? 2 : random() % 4;
        blocks[9 * b] = static_cast<uint8_t>((random() % 9) << 4 | filter << 2 | (b == 7 ? 3 : 2));
    }
    return blocks;
}

// The samples of the image and the loop their entry gives.
struct RomSample {
    Bytes brr;
    bool inTable;
    int loopBlock;  // -1: the sample stops
    bool offset;    // the loop word is an offset from the start

    uint16_t LoopWord(uint32_t start) const {
        uint32_t bytes = 9 * static_cast<uint32_t>(loopBlock < 0 ? 0 : loopBlock);
        return static_cast<uint16_t>(offset ? bytes : start + bytes);
    }
};
const RomSample kSamples[] = {
    {EncodeInstrument(8, true), true, 3, false},
    {EncodeInstrument(6, true), true, 2, true},
    {EncodeInstrument(5, false), true, -1, false},
    {FilterTwoSample(), true, 3, false},
    {EncodeInstrument(4, true), false, -1, false},  // uploaded by a stream with no entries
};

// Side by side, each after a header that ends any chain reaching it.
Upload SampleUpload(uint32_t aram, const std::vector<size_t>& which, std::vector<uint32_t>& starts) {
    Upload up{aram, {}};
    for (size_t k : which) {
        up.data.insert(up.data.end(), 9, 0xFE);
        starts[k] = aram + static_cast<uint32_t>(up.data.size());
        up.data.insert(up.data.end(), kSamples[k].brr.begin(), kSamples[k].brr.end());
    }
    return up;
}

// A 64 KiB image: the driver's stream (code, table, samples 0-3) and a
// second stream with sample 4. disagree adds an entry that gives sample 0
// another loop; streams false writes the sample bytes alone.
struct LoopRom {
    Bytes image = Bytes(0x10000, 0xFE);
    std::vector<uint32_t> aram = std::vector<uint32_t>(std::size(kSamples));
    std::vector<uint32_t> offset = std::vector<uint32_t>(std::size(kSamples));

    explicit LoopRom(bool disagree, bool streams = true) {
        Upload first = SampleUpload(kSampleBase, {0, 1, 2, 3}, aram);
        Upload lone = SampleUpload(kLoneBase, {4}, aram);
        Bytes table;
        for (size_t k = 0; k < std::size(kSamples); ++k) {
            uint16_t start = static_cast<uint16_t>(aram[k]);
            if (kSamples[k].inTable) append(table, Entries({{start, kSamples[k].LoopWord(start)}}));
        }
        if (disagree) append(table, Entries({{static_cast<uint16_t>(aram[0]), static_cast<uint16_t>(aram[0])}}));
        uint32_t at = 0x1000;
        std::vector<uint32_t> driver = PutStream(image, at, {{kEntry, DriverCode(0)}, {kTable, table}, first}, kEntry);
        std::vector<uint32_t> second = PutStream(image, at += 0x40, {lone}, kEntry);
        for (size_t k = 0; k < std::size(kSamples); ++k)
            offset[k] = (k < 4 ? driver[2] + aram[k] - kSampleBase : second[0] + aram[k] - kLoneBase);
        if (!streams) {
            Bytes alone(0x10000, 0xFE);
            for (size_t k = 0; k < std::size(kSamples); ++k)
                std::copy(kSamples[k].brr.begin(), kSamples[k].brr.end(), alone.begin() + offset[k]);
            image = alone;
        }
    }
    static void append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }
};

// The fields a row must have; a reason expected is any text.
json Expected(const LoopRom& rom, size_t k, bool disagree) {
    const json none = {{"aramLoop", nullptr},    {"aramEnd", nullptr},    {"loopStartSample", nullptr},
                       {"loopIsOffset", nullptr}, {"loopSource", nullptr}, {"loopUnknownReason", nullptr}};
    json want = none;
    want["aramStart"] = rom.aram[k];
    if (!kSamples[k].inTable) return want;
    want["aramEnd"] = rom.aram[k] + kSamples[k].brr.size() - 9;
    if (disagree && k == 0) {
        want["loopUnknownReason"] = "any";
        return want;
    }
    want["loopSource"] = "directory";
    want["loopIsOffset"] = kSamples[k].offset;
    if (kSamples[k].loopBlock < 0) return want;
    want["aramLoop"] = rom.aram[k] + 9 * kSamples[k].loopBlock;
    want["loopStartSample"] = 16 * kSamples[k].loopBlock;
    return want;
}

const char* const kAramFields[] = {"aramStart",    "aramLoop",   "aramEnd",          "loopStartSample",
                                   "loopIsOffset", "loopSource", "loopUnknownReason"};

class RomLoopCliTest : public CliRunTest {
protected:
    json List(const std::string& rom, const std::vector<std::string>& more = {}) {
        std::vector<std::string> args = {"list", "--json", rom};
        args.insert(args.end(), more.begin(), more.end());
        CliResult result = Run(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return json::parse(result.out);
    }
    // The row of the run that starts at offset; null when none does.
    static json RowAt(const json& samples, uint32_t offset) {
        for (const json& row : samples)
            if (row["start"] == offset) return row;
        return nullptr;
    }
};

// The smpl loop start of a WAV, or -1 without the chunk.
int64_t SmplLoopStart(const Bytes& wav, size_t pcmBytes) {
    if (wav.size() == 44 + pcmBytes) return -1;
    const uint8_t* smpl = wav.data() + 44 + pcmBytes;
    EXPECT_EQ(std::string(smpl, smpl + 4), "smpl");
    EXPECT_EQ(GetLe32(smpl + 8 + 36 + 12), pcmBytes / 2 - 1);  // the loop runs to the last sample
    return GetLe32(smpl + 8 + 36 + 8);
}

TEST_F(RomLoopCliTest, RowsGetTheAddressAndTheLoopTheirStreamGives) {
    for (bool disagree : {false, true}) {
        SCOPED_TRACE(disagree ? "two entries give sample 0 different loops" : "one entry per sample");
        LoopRom rom(disagree);
        std::string path = Put(disagree ? "disagree.sfc" : "loops.sfc", rom.image);
        json samples = List(path, {"--min-run", kMinRun})["samples"];
        for (size_t k = 0; k < std::size(kSamples); ++k) {
            SCOPED_TRACE(testing::Message() << "sample " << k);
            json row = RowAt(samples, rom.offset[k]);
            ASSERT_FALSE(row.is_null());
            json want = Expected(rom, k, disagree);
            for (const char* field : kAramFields) {
                if (want[field] == "any") EXPECT_TRUE(row[field].is_string()) << field;
                else EXPECT_EQ(row[field], want[field]) << field;
            }
        }
        // The table shows the same, and says why a loop stays unknown.
        CliResult table = Run({"list", path, "--min-run", kMinRun});
        char columns[64];
        std::snprintf(columns, sizeof columns, "0x%04X  0x%04X", rom.aram[0], disagree ? 0 : rom.aram[0] + 27);
        EXPECT_EQ(table.out.find(columns) != std::string::npos, !disagree) << table.out;
        EXPECT_EQ(table.out.find("loop unknown: ") != std::string::npos, disagree) << table.out;
    }
    // The page carries the rows' fields.
    LoopRom rom(false);
    ASSERT_EQ(Run({"report", Put("page.sfc", rom.image), "--min-run", kMinRun, "--out", "page.html"}).status, 0);
    json page = PageData(ReadText(work + "/page.html"));
    json row = RowAt(page["samples"], rom.offset[1]);
    ASSERT_FALSE(row.is_null());
    for (const char* field : kAramFields) EXPECT_EQ(row[field], Expected(rom, 1, false)[field]) << field;
}

TEST_F(RomLoopCliTest, ImagesWithoutStreamsGetNoAddressesNorLoops) {
    Bytes noise(0x10000);
    std::mt19937 random(11);
    for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
    for (const Bytes& image : {noise, LoopRom(false, false).image}) {
        std::string path = Put("plain.sfc", image);
        for (const char* minRun : {"0", kMinRun}) {
            json samples = List(path, {"--min-run", minRun})["samples"];
            EXPECT_GT(samples.size(), 4u);
            for (const json& row : samples)
                for (const char* field : kAramFields) ASSERT_TRUE(row[field].is_null()) << field << " " << row.dump();
        }
    }
}

TEST_F(RomLoopCliTest, ChipRipsLoopAsTheChipRepeatsSpecRipsStayAsTheyWere) {
    LoopRom rom(false);
    std::string path = Put("game.sfc", rom.image);
    std::string bare = Put("bare.sfc", LoopRom(false, false).image);
    json chip = List(path, {"--min-run", kMinRun, "--decoder", "chip"})["samples"];
    json spec = List(path, {"--min-run", kMinRun})["samples"];
    json bareSpec = List(bare, {"--min-run", kMinRun})["samples"];
    for (const char* out : {"chip", "brr", "spec", "bare"}) {
        bool isChip = std::string(out) == "chip" || std::string(out) == "brr";
        std::vector<std::string> args = {"rip", std::string(out) == "bare" ? bare : path, "--min-run", kMinRun,
                                         "--out", out, "--decoder", isChip ? "chip" : "spec"};
        if (std::string(out) == "brr") args.insert(args.end(), {"--format", "brr", "--brr-loop-header"});
        ASSERT_EQ(Run(args).status, 0) << out;
    }
    for (size_t k = 0; k < std::size(kSamples); ++k) {
        SCOPED_TRACE(testing::Message() << "sample " << k);
        json row = RowAt(chip, rom.offset[k]);
        ASSERT_FALSE(row.is_null());
        std::string name = row["file"].get<std::string>();
        Bytes wav = ReadWholeFile(work + "/chip/" + name);
        json want = Expected(rom, k, false);
        if (want["loopStartSample"].is_null()) {
            EXPECT_EQ(SmplLoopStart(wav, row["bytes"]), -1);
        } else {
            // The independent model of the chip, played on until a pass repeats.
            uint32_t loopBlock = want["loopStartSample"].get<uint32_t>() / 16;
            chip_model::Loop model = chip_model::RenderLoop(kSamples[k].brr, loopBlock);
            size_t passSamples = 16 * (kSamples[k].brr.size() / 9 - loopBlock);
            EXPECT_EQ(row["loopPasses"], model.passes);
            EXPECT_EQ(row["bytes"], model.pcm.size() * 2);
            EXPECT_EQ(SmplLoopStart(wav, model.pcm.size() * 2), 16 * loopBlock + model.firstPass * passSamples);
            if (k == 3) {
                EXPECT_GT(model.passes, 1u);
            }
        }
        Bytes brr = ReadWholeFile(work + "/brr/" + name.substr(0, name.size() - 4) + ".brr");
        uint32_t loopBytes = want["loopStartSample"].is_null() ? 0 : want["loopStartSample"].get<uint32_t>() / 16 * 9;
        EXPECT_EQ(GetLe16(brr.data()), loopBytes);
        // The specified decoder's WAV is the one of the same bytes with no stream round them.
        json specRow = RowAt(spec, rom.offset[k]);
        json bareRow = RowAt(bareSpec, rom.offset[k]);
        ASSERT_FALSE(bareRow.is_null());
        Bytes specWav = ReadWholeFile(work + "/spec/" + specRow["file"].get<std::string>());
        EXPECT_EQ(specWav.size(), 44 + specRow["bytes"].get<size_t>());
        EXPECT_EQ(specWav, ReadWholeFile(work + "/bare/" + bareRow["file"].get<std::string>()));
    }
}

}  // namespace
