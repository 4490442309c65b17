// Runs the built voxtrawl-cli on small crafted ROM images and checks its
// files, output and exit codes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli_runner.h"
#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kWavHeaderBytes = 44;

uint32_t Le32(const Bytes& bytes, size_t at) { return GetLe32(bytes.data() + at); }

int16_t PcmAt(const Bytes& wav, size_t index) {
    return static_cast<int16_t>(GetLe16(wav.data() + kWavHeaderBytes + 2 * index));
}

using CliTest = CliRunTest;

// Two qualifying runs and one a block too short for the initial minimum:
// at 5, 65 blocks of header 0x80 (range 8) with nibbles 1 -> every value 256;
// at 600, 70 looped blocks (0x82) with nibbles 3 -> every value 768;
// at 1234, 64 blocks (span 567) with nibbles 5 -> every value 1280.
// Data bytes with the end flag set keep chains that start inside a run's
// data short, so only the laid runs can qualify.
Bytes CraftedRom() {
    Bytes rom = Filler(5);
    Bytes first = MakeRun(65, 0x80, 0x81, 0x11);
    Bytes second = MakeRun(70, 0x82, 0x83, 0x33);
    Bytes shortRun = MakeRun(64, 0x80, 0x81, 0x55);
    rom.insert(rom.end(), first.begin(), first.end());
    Bytes gap = Filler(10);
    rom.insert(rom.end(), gap.begin(), gap.end());
    rom.insert(rom.end(), second.begin(), second.end());
    rom.insert(rom.end(), gap.begin(), gap.begin() + 4);
    rom.insert(rom.end(), shortRun.begin(), shortRun.end());
    rom.insert(rom.end(), gap.begin(), gap.begin() + 3);
    return rom;
}
constexpr uint32_t kFirstBytes = 64 * 32;
constexpr uint32_t kSecondBytes = 69 * 32;
constexpr uint32_t kShortBytes = 63 * 32;

// Each value of a WAVE file's PCM equals value.
void ExpectConstantWav(const Bytes& wav, uint32_t pcmBytes, int16_t value, int32_t rate) {
    ASSERT_EQ(wav.size(), kWavHeaderBytes + pcmBytes);
    EXPECT_EQ(Le32(wav, 24), static_cast<uint32_t>(rate));
    EXPECT_EQ(Le32(wav, 40), pcmBytes);
    for (size_t i = 0; i < pcmBytes / 2; ++i) ASSERT_EQ(PcmAt(wav, i), value) << "at " << i;
}

TEST_F(CliTest, RipWritesNumberedFilesIntoOutAndPrintsTheLog) {
    std::string rom = Put("game.sfc", CraftedRom());
    CliResult result = Run({"rip", rom, "--out", "wavs", "--rate", "22050"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Entries(work + "/wavs"), (std::vector<std::string>{"1.wav", "2.wav"}));
    ExpectConstantWav(ReadWholeFile(work + "/wavs/1.wav"), kFirstBytes, 256, 22050);
    ExpectConstantWav(ReadWholeFile(work + "/wavs/2.wav"), kSecondBytes, 768, 22050);

    // The log, line by line, without carriage returns or a leading blank line.
    EXPECT_EQ(result.out.find('\r'), std::string::npos);
    EXPECT_EQ(result.out.rfind("Yay!\nROM game.sfc loaded ok.\n\nStats:\n", 0), 0u) << result.out;
    EXPECT_NE(result.out.find("\nSearching ROM for samples...\nFound 2 samples.\n"), std::string::npos);
    std::string last = "Wrote 2 .wav files in directory wavs at frequency 22050.\n";
    ASSERT_GE(result.out.size(), last.size());
    EXPECT_EQ(result.out.substr(result.out.size() - last.size()), last);
    EXPECT_EQ(result.err, "");
}

TEST_F(CliTest, OneFileHoldsEverySampleBehindOneHeader) {
    std::string rom = Put("game.sfc", CraftedRom());
    CliResult result = Run({"rip", rom, "--one-file", "all.wav", "--min-run", "567"});
    ASSERT_EQ(result.status, 0) << result.err;
    Bytes wav = ReadWholeFile(work + "/all.wav");
    uint32_t total = kFirstBytes + kSecondBytes + kShortBytes;
    ASSERT_EQ(wav.size(), kWavHeaderBytes + total);
    EXPECT_EQ(Le32(wav, 40), total);
    EXPECT_EQ(PcmAt(wav, 0), 256);
    EXPECT_EQ(PcmAt(wav, kFirstBytes / 2), 768);
    EXPECT_EQ(PcmAt(wav, (kFirstBytes + kSecondBytes) / 2), 1280);
    EXPECT_EQ(PcmAt(wav, total / 2 - 1), 1280);
    EXPECT_NE(result.out.find("\nSaved all.wav.\n"), std::string::npos) << result.out;
    EXPECT_FALSE(fs::exists(work + "/game"));
}

TEST_F(CliTest, ListShowsOneRowPerRun) {
    std::string rom = Put("game.sfc", CraftedRom());
    CliResult result = Run({"list", rom, "--rate", "16000"});
    ASSERT_EQ(result.status, 0) << result.err;
    // The listing alone: what the input is, a heading and two rows, no log lines.
    std::vector<std::string> lines;
    for (size_t at = 0, next; at < result.out.size(); at = next + 1) {
        next = result.out.find('\n', at);
        lines.push_back(result.out.substr(at, next - at));
    }
    ASSERT_EQ(lines.size(), 4u) << result.out;
    EXPECT_EQ(lines[0], "# ROM, no SNES mapping detected, decoder spec");
    lines.erase(lines.begin());
    EXPECT_NE(lines[0].find("start"), std::string::npos);
    auto words = [](const std::string& line) {
        std::vector<std::string> out;
        for (size_t at = line.find_first_not_of(' '); at != std::string::npos;) {
            size_t end = line.find(' ', at);
            out.push_back(line.substr(at, end - at));
            at = line.find_first_not_of(' ', end);
        }
        return out;
    };
    EXPECT_EQ(words(lines[1]), (std::vector<std::string>{"1", "0x000005", "0x000245", "65", "2048", "0.064", "no", "no", "256", "0", "-", "-", "-", "-"}));
    EXPECT_EQ(words(lines[2]), (std::vector<std::string>{"2", "0x000258", "0x0004C5", "70", "2208", "0.069", "yes", "no", "768", "0", "-", "-", "-", "-"}));
}

TEST_F(CliTest, ListJsonFollowsTheMinimumRun) {
    std::string rom = Put("game.sfc", CraftedRom());
    struct Case {
        const char* minRun;
        std::vector<uint32_t> starts;
    } cases[] = {
        {"568", {5, 600}},
        {"567", {5, 600, 1234}},
        {"577", {600}},
        {"622", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.minRun);
        CliResult result = Run({"list", rom, "--json", "--min-run", c.minRun});
        ASSERT_EQ(result.status, 0) << result.err;
        nlohmann::json listing = nlohmann::json::parse(result.out);
        EXPECT_EQ(listing["minRunBytes"], std::atoi(c.minRun));
        const nlohmann::json& samples = listing["samples"];
        ASSERT_EQ(samples.size(), c.starts.size());
        for (size_t i = 0; i < samples.size(); ++i) {
            EXPECT_EQ(samples[i]["number"], i + 1);
            EXPECT_EQ(samples[i]["start"], c.starts[i]);
            uint32_t blocks = samples[i]["blocks"];
            EXPECT_EQ(samples[i]["end"], c.starts[i] + 9 * (blocks - 1));
            EXPECT_EQ(samples[i]["bytes"], 32 * (blocks - 1));
            EXPECT_EQ(samples[i]["loop"], c.starts[i] == 600);
            EXPECT_EQ(samples[i]["file"], std::to_string(i + 1) + ".wav");
            EXPECT_TRUE(samples[i]["notStored"].is_null());
        }
    }
}

TEST_F(CliTest, ExitCodesAndMessages) {
    std::string rom = Put("game.sfc", CraftedRom());
    Put("empty.sfc", {});
    Put("blocker", {1, 2, 3});  // a file where a directory is wanted
    Put("silent.sfc", Filler(4000));
    fs::create_directory(work + "/adir");
    const std::string minRunRange = "--min-run: takes a decimal whole number from 0 to 2147483647, not ";
    const std::string rateRange = "--rate: takes a decimal whole number from 1 to 2147483647, not ";
    // Every line expected on stderr, in order; an empty list wants it empty.
    struct Case {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> errLines;
    } cases[] = {
        {{"rip", "missing.sfc"},
         1,
         {"Internal Error (?): Unable to stat() file 'missing.sfc'.",
          "voxtrawl-cli: cannot read 'missing.sfc': No such file or directory"}},
        {{"list", "missing.sfc"}, 1, {"Internal Error (?): Unable to stat() file 'missing.sfc'."}},
        {{"rip", "empty.sfc"}, 1, {"Ahem...: empty.sfc is 0 bytes!", "voxtrawl-cli: cannot read 'empty.sfc': the file is empty"}},
        {{"rip", "adir"}, 1, {"Can't Load Rom...!: adir is a directory", "voxtrawl-cli: cannot read 'adir': Is a directory"}},
        {{"rip", rom, "--out", "blocker/wavs"}, 1, {"voxtrawl-cli: cannot create the folder 'blocker/wavs': Not a directory"}},
        {{"rip", rom, "--out", "blocker"}, 1, {"voxtrawl-cli: 'blocker' is not a directory"}},
        {{"rip", rom, "--one-file", "blocker/all.wav"}, 1, {"voxtrawl-cli: cannot write 'blocker/all.wav': Not a directory"}},
        {{"rip", "silent.sfc"}, 0, {}},
        {{"rip", rom, "--bogus"}, 2, {"Usage:"}},
        {{"rip"}, 2, {"Usage:"}},
        {{}, 2, {"Usage:"}},
        {{"ripp", rom}, 2, {"voxtrawl-cli: unknown command 'ripp'", "Usage:"}},
        {{"list", rom, rom}, 2, {"Usage:"}},
        {{"rip", rom, rom, "--one-file", "x.wav"}, 2, {"Usage:"}},
        {{"rip", rom, "--out", "o", "--one-file", "x.wav"}, 2, {"Usage:"}},
        {{"rip", rom, "--out", ""}, 2, {"--out: needs a path", "Usage:"}},
        {{"rip", rom, "--one-file", ""}, 2, {"--one-file: needs a path", "Usage:"}},
        {{"report", rom, "-o", ""}, 2, {"--out: needs a path", "Usage:"}},
        {{"rip", rom, "--rate", "0"}, 2, {rateRange + "'0'", "Usage:"}},
        {{"rip", rom, "--rate", "0x10"}, 2, {rateRange + "'0x10'"}},
        {{"list", rom, "--rate", "2147483648"}, 2, {rateRange + "'2147483648'"}},
        {{"rip", rom, "--min-run", "many"}, 2, {minRunRange + "'many'"}},
        {{"list", rom, "--min-run", "-1"}, 2, {minRunRange + "'-1'"}},
        {{"list", rom, "--min-run", "568x"}, 2, {minRunRange + "'568x'"}},
        {{"list", rom, "--min-run", ""}, 2, {minRunRange + "''"}},
        // Named choices take their names only, not the numbers behind them.
        {{"list", rom, "--decoder", "1"}, 2, {"voxtrawl-cli: --decoder: takes chip|spec, not '1'"}},
        {{"list", rom, "--mapping", "2"}, 2, {"voxtrawl-cli: --mapping: takes exhirom|hirom|lorom|none, not '2'"}},
        {{"rip", rom, "--format", "1"}, 2, {"voxtrawl-cli: --format: takes brr|midi|sf2|wav, not '1'"}},
        {{"--help"}, 0, {}},
        {{"rip", "--help"}, 0, {}},
        {{"--version"}, 0, {}},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& arg : c.args) shown += arg + " ";
        SCOPED_TRACE(shown);
        CliResult result = Run(c.args);
        EXPECT_EQ(result.status, c.status) << result.err;
        if (c.errLines.empty()) {
            EXPECT_EQ(result.err, "");
        }
        size_t at = 0;
        for (const std::string& line : c.errLines) {
            at = result.err.find(line, at);
            ASSERT_NE(at, std::string::npos) << "wanted: " << line << "\ngot: " << result.err;
        }
        if (c.status == 1 && c.args[0] == "list") {
            EXPECT_EQ(result.out, "");
        }
    }
    // Nothing was written where nothing could be, or where nothing was found.
    EXPECT_EQ(Entries(work),
              (std::vector<std::string>{"adir", "blocker", "empty.sfc", "game.sfc", "silent.sfc"}));
    // Options are read in decimal, leading zeros and all.
    CliResult decimal = Run({"list", rom, "--json", "--rate", "010", "--min-run", "0568"});
    ASSERT_EQ(decimal.status, 0) << decimal.err;
    EXPECT_EQ(nlohmann::json::parse(decimal.out)["rate"], 10);
    EXPECT_EQ(nlohmann::json::parse(decimal.out)["minRunBytes"], 568);
    CliResult unwritable = Run({"rip", rom, "--out", "blocker/wavs"});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(Run({"--help"}).out.find("list"), std::string::npos);
    EXPECT_EQ(Run({"--version"}).out.find("voxtrawl-cli "), 0u);
}

TEST_F(CliTest, SeveralRomsEachGetADirectoryAndOneFailureStopsNone) {
    Put("a.sfc", CraftedRom());
    Put("roms/b.smc", MakeRun(66, 0x80, 0x81, 0x11));
    CliResult result = Run({"rip", "a.sfc", "missing.sfc", "roms/b.smc", "--out", "wavs"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("missing.sfc"), std::string::npos);
    EXPECT_EQ(Entries(work + "/wavs"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Entries(work + "/wavs/a"), (std::vector<std::string>{"1.wav", "2.wav"}));
    ExpectConstantWav(ReadWholeFile(work + "/wavs/b/1.wav"), 65 * 32, 256, 8000);
}

TEST_F(CliTest, WithoutOutEachRomGetsTheDirectoryNamedAfterIt) {
    struct Case {
        std::string rom;
        std::string dir;
    } cases[] = {
        {"game.sfc", "game"},
        {"noext", "noext_"},
        {"some.dir/rom.smc", "some.dir/rom"},
    };
    std::vector<std::string> args{"rip"};
    for (const Case& c : cases) args.push_back(Put(c.rom, CraftedRom()));
    CliResult result = Run(args);
    ASSERT_EQ(result.status, 0) << result.err;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rom);
        EXPECT_EQ(Entries(work + "/" + c.dir), (std::vector<std::string>{"1.wav", "2.wav"}));
        EXPECT_NE(result.out.find("Wrote 2 .wav files in directory " + c.dir + " at"), std::string::npos);
    }
}

TEST_F(CliTest, DemoRomIsTheGeneratorsOutputAndRipsToSixteenSamples) {
    std::string source = VOXTRAWL_SOURCE_DIR;
    CliResult listed = Run({"list", source + "/assets/demo.sfc", "--json"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    nlohmann::json samples = nlohmann::json::parse(listed.out)["samples"];
    ASSERT_EQ(samples.size(), 16u);
    for (const auto& sample : samples) EXPECT_GE(sample["blocks"], 65);

    if (std::system("python3 --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 not available";
    std::string made = root + "/demo.sfc";
    std::string command = "python3 " + Quote(source + "/tools/make_demo_rom.py") + " " + Quote(made) + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(ReadWholeFile(made) == ReadWholeFile(source + "/assets/demo.sfc"));
}

}  // namespace
