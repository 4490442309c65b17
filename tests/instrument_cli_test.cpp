// Runs the built voxtrawl-cli on .brr files and on snapshots whose loops
// the chip does not repeat alike, and checks the instruments it writes:
// WAVE loops and unity notes against an independent model and libsndfile,
// SoundFonts against FluidSynth.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/files/little_endian.h"
#include "tests/chip_brr_model.h"
#include "tests/cli_runner.h"
#include "tests/spc_builder.h"

namespace fs = std::filesystem;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// What a WAVE file holds: its PCM and, when it has a smpl chunk, the loop
// and the unity note.
struct WavFile {
    std::vector<int16_t> pcm;
    bool looped = false;
    uint32_t loopStart = 0, loopEnd = 0, unityNote = 0;
};

WavFile ReadWav(const Bytes& file) {
    WavFile wav;
    uint32_t dataBytes = GetLe32(file.data() + 40);
    for (uint32_t i = 0; i < dataBytes; i += 2) wav.pcm.push_back(static_cast<int16_t>(GetLe16(file.data() + 44 + i)));
    size_t smpl = 44 + dataBytes;
    if (file.size() >= smpl + 68 && Bytes(file.begin() + smpl, file.begin() + smpl + 4) == Bytes{'s', 'm', 'p', 'l'}) {
        wav.looped = true;
        wav.unityNote = GetLe32(file.data() + smpl + 8 + 12);
        wav.loopStart = GetLe32(file.data() + smpl + 8 + 36 + 8);
        wav.loopEnd = GetLe32(file.data() + smpl + 8 + 36 + 12);
    }
    return wav;
}

// Standard output and error of a shell command.
std::string Shell(const std::string& command) {
    std::string out;
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char buffer[4096];
    for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (pipe) pclose(pipe);
    return out;
}

// An instrument of `blocks` blocks looping from block 3, whose loop block
// predicts with `filter`.
Bytes FilteredInstrument(unsigned blocks, unsigned filter) {
    Bytes data = EncodeInstrument(blocks, true, 20);
    data[27] = static_cast<uint8_t>((data[27] & 0xF3) | filter << 2);
    return data;
}

class InstrumentCliTest : public CliRunTest {
protected:
    nlohmann::json ListJson(const std::string& input) {
        CliResult result = Run({"list", "--json", input});
        EXPECT_EQ(result.status, 0) << result.err;
        return nlohmann::json::parse(result.out);
    }
    Bytes Read(const std::string& name) { return ReadWholeFile(work + "/" + name); }
};

TEST_F(InstrumentCliTest, BrrFilesInBothLayoutsAndRefusedSizes) {
    const Bytes blocks = FilteredInstrument(12, 2);
    Bytes header = {27, 0};
    header.insert(header.end(), blocks.begin(), blocks.end());
    Bytes trailing = blocks;
    trailing.insert(trailing.end(), blocks.begin(), blocks.begin() + 18);
    struct Case {
        const char* name;
        Bytes file;
        int status;
        bool looped;
        std::string message;  // on stdout for a note, on stderr for a refusal
    } cases[] = {
        {"Raw.BRR", blocks, 0, false, "loop point unknown: the end block loops, but a file without a loop offset"},
        {"header.brr", header, 0, true, "BRR in/header.brr: 12 blocks after a loop offset."},
        {"trailing.brr", trailing, 0, false, "the 2 blocks after the end block are ignored"},
        {"odd.brr", Bytes(10, 0), 1, false, "cannot read 'in/odd.brr': it is 10 bytes: a BRR file holds 9-byte blocks"},
        {"empty.brr", Bytes{}, 1, false, "cannot read 'in/empty.brr': it is 0 bytes: it holds no BRR block"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string stem = fs::path(c.name).stem().string();
        Put(std::string("in/") + c.name, c.file);
        CliResult beside = Run({"rip", std::string("in/") + c.name});
        EXPECT_EQ(beside.status, c.status) << beside.err;
        EXPECT_TRUE(Contains(c.status ? beside.err : beside.out, c.message)) << beside.out << beside.err;
        if (c.status != 0) {
            EXPECT_FALSE(fs::exists(work + "/in/" + stem + ".wav"));
            continue;
        }
        // Decoded by the chip, 32000 Hz, beside the input; the loop as the model repeats it.
        WavFile wav = ReadWav(Read("in/" + stem + ".wav"));
        EXPECT_EQ(GetLe32(Read("in/" + stem + ".wav").data() + 24), 32000u);
        std::vector<int16_t> expected;
        chip_model::Loop model;
        if (c.looped) {
            model = chip_model::RenderLoop(blocks, 3);
            expected = model.pcm;
        } else {
            chip_model::DecodeOnto(blocks, 0, 12, expected);
        }
        EXPECT_EQ(wav.pcm, expected);
        EXPECT_EQ(wav.looped, c.looped);
        if (c.looped) {
            EXPECT_EQ(wav.loopStart, 48 + model.firstPass * 9 * 16);
        }
        // In --out, at the rate asked for, and as the blocks again.
        CliResult out = Run({"rip", std::string("in/") + c.name, "--out", "o", "--rate", "22050", "--format", "brr"});
        EXPECT_EQ(out.status, 0) << out.err;
        Bytes kept(c.file.begin() + (c.looped ? 2 : 0), c.file.begin() + (c.looped ? 2 : 0) + blocks.size());
        EXPECT_EQ(Read("o/" + stem + ".brr"), kept);
        nlohmann::json listing = ListJson(std::string("in/") + c.name);
        EXPECT_EQ(listing["samples"][0]["file"], stem + ".wav");
        EXPECT_EQ(listing["samples"][0]["blocks"], 12);
    }
    // Written as BRR beside itself, the file would be lost.
    CliResult self = Run({"rip", "in/header.brr", "--format", "brr"});
    EXPECT_EQ(self.status, 2) << self.err;
    EXPECT_EQ(Read("in/header.brr"), header);
    CliResult spec = Run({"list", "in/header.brr", "--decoder", "spec"});
    EXPECT_EQ(spec.status, 2);
    EXPECT_TRUE(Contains(spec.err, "is a BRR file, whose sample is decoded by the chip decoder; --decoder spec"));
}

TEST_F(InstrumentCliTest, AFolderOfBrrFilesAndTwoThatWouldWriteOneFile) {
    Put("kit/a.brr", FilteredInstrument(8, 0));
    Put("kit/b.brr", FilteredInstrument(9, 1));
    Put("other/a.brr", FilteredInstrument(10, 3));
    CliResult clash = Run({"rip", "kit/a.brr", "kit/b.brr", "other/a.brr", "--out", "o"});
    EXPECT_EQ(clash.status, 2);
    EXPECT_TRUE(Contains(clash.err, "'kit/a.brr' and 'other/a.brr' would both be written to the file 'o/a.wav'"))
        << clash.err;
    EXPECT_FALSE(fs::exists(work + "/o"));
    CliResult folder = Run({"rip", "kit/a.brr", "kit/b.brr", "--out", "o"});
    EXPECT_EQ(folder.status, 0) << folder.err;
    EXPECT_EQ(Entries(work + "/o"), (std::vector<std::string>{"a.wav", "b.wav"}));
    CliResult soundFonts = Run({"rip", "kit/a.brr", "other/a.brr", "--format", "sf2"});
    EXPECT_EQ(soundFonts.status, 0) << soundFonts.err;
    EXPECT_TRUE(fs::exists(work + "/kit/a.sf2") && fs::exists(work + "/other/a.sf2"));

    // A .brr input's file among another input's numbered files, in either
    // order: refused before anything is written.
    Put("d.sfc", MakeRun(66, 0x80, 0x81, 0x21));
    Put("d/1.brr", FilteredInstrument(8, 0));
    SpcBuilder spc;
    spc.SetDir(0x03);
    spc.Put(0x0400, FilteredInstrument(12, 2));
    spc.PutEntry(0x0300, 0, 0x0400, 0x0400 + 27);
    Put("s.spc", spc.file);
    Put("s/00.brr", FilteredInstrument(9, 1));
    struct Case {
        std::vector<std::string> inputs;
        std::string clash;
    } clashes[] = {
        {{"d.sfc", "d/1.brr"}, "'d.sfc' and 'd/1.brr' would both write the file 'd/1.wav'"},
        {{"d/1.brr", "d.sfc"}, "'d/1.brr' and 'd.sfc' would both write the file 'd/1.wav'"},
        {{"s.spc", "s/00.brr"}, "'s.spc' and 's/00.brr' would both write the file 's/00.wav'"},
    };
    for (const Case& c : clashes) {
        CliResult refused = Run({"rip", c.inputs[0], c.inputs[1]});
        EXPECT_EQ(refused.status, 2);
        EXPECT_TRUE(Contains(refused.err, "voxtrawl-cli: " + c.clash)) << refused.err;
        EXPECT_EQ(Entries(work + "/d"), std::vector<std::string>{"1.brr"});
        EXPECT_EQ(Entries(work + "/s"), std::vector<std::string>{"00.brr"});
    }
    // An input among an earlier rip's file names is neither called one
    // nor removed by --clean; a refusal names its kind.
    fs::remove(work + "/d/1.brr");
    Put("d/5.brr", FilteredInstrument(8, 0));
    CliResult beside = Run({"rip", "d.sfc", "d/5.brr"});
    EXPECT_EQ(beside.status, 0) << beside.err;
    EXPECT_FALSE(Contains(beside.err, "earlier rip")) << beside.err;
    CliResult clean = Run({"rip", "d.sfc", "d/5.brr", "--clean"});
    EXPECT_EQ(clean.status, 2);
    EXPECT_TRUE(Contains(clean.err, "'d/5.brr' is the BRR file 'd/5.brr' itself (or a link to it); --clean would "
                                    "remove it"))
        << clean.err;
    CliResult self = Run({"rip", "d/5.brr", "--format", "brr"});
    EXPECT_TRUE(Contains(self.err, "'d/5.brr' is the BRR file 'd/5.brr' itself")) << self.err;
    EXPECT_TRUE(fs::exists(work + "/d/5.brr"));
}

// A snapshot whose instruments loop with each filter: the WAVE files hold
// what the model of the chip plays, read back and by libsndfile, and the
// unity note is the listing's tuning.
TEST_F(InstrumentCliTest, SpcLoopsAreWrittenAsTheChipRepeatsThem) {
    SpcBuilder spc;
    spc.SetDir(0x03);
    for (unsigned filter = 0; filter < 4; ++filter) {
        uint16_t start = static_cast<uint16_t>(0x0400 + 0x100 * filter);
        spc.Put(start, FilteredInstrument(12, filter));
        spc.PutEntry(0x0300, filter, start, static_cast<uint16_t>(start + 27));
    }
    spc.SetVoice(0, 0);
    std::string song = Put("song.spc", spc.file);
    ASSERT_EQ(Run({"rip", song, "--out", "out"}).status, 0);
    nlohmann::json listing = ListJson(song);
    size_t severalPasses = 0;
    for (unsigned filter = 0; filter < 4; ++filter) {
        SCOPED_TRACE(filter);
        chip_model::Loop model = chip_model::RenderLoop(FilteredInstrument(12, filter), 3);
        const nlohmann::json& row = listing["samples"][filter];
        EXPECT_EQ(row["loopPasses"], model.passes);
        EXPECT_EQ(row["loopStable"], model.stable);
        EXPECT_EQ(row["bytes"], model.pcm.size() * 2);
        if (filter == 0) {
            EXPECT_EQ(model.passes, 1u);  // a loop without prediction repeats at once
        }
        severalPasses += model.passes > 1;
        char name[16];
        std::snprintf(name, sizeof name, "out/%02X.wav", filter);
        WavFile wav = ReadWav(Read(name));
        EXPECT_EQ(wav.pcm, model.pcm);
        uint32_t loopStart = static_cast<uint32_t>(48 + model.firstPass * 9 * 16);
        EXPECT_EQ(wav.loopStart, loopStart);
        EXPECT_EQ(wav.loopEnd, model.pcm.size() - 1);
        std::string info = Shell("sndfile-info " + Quote(work + "/" + name));
        char loopLine[64];
        std::snprintf(loopLine, sizeof loopLine, "Start : %5u  End : %5u", loopStart,
                      static_cast<unsigned>(model.pcm.size() - 1));
        EXPECT_TRUE(Contains(info, loopLine)) << info;
        ASSERT_TRUE(row["tuning"].is_object()) << row;
        double midi = 69 + 12 * std::log2(row["tuning"]["hz"].get<double>() / 440.0);
        EXPECT_EQ(wav.unityNote, static_cast<uint32_t>(std::floor(midi)));
        EXPECT_TRUE(Contains(info, "Midi Note    : " + std::to_string(wav.unityNote))) << info;
    }
    EXPECT_GE(severalPasses, 1u);
}

// Rows that share a loop, start apart, repeat an entry, or loop over as
// many samples of another tone: each gets the tuning of its own loop.
TEST_F(InstrumentCliTest, EachLoopIsTunedByItsOwnSamples) {
    struct Row {
        uint16_t start, loop;
        double hz;  // 144-sample loops: 9 periods of 16 samples, 6 of 24
    };
    const Row rows[] = {{0x0400, 0x0400 + 27, 2000.0},
                        {0x0400 + 9, 0x0400 + 27, 2000.0},
                        {0x0600, 0x0600 + 27, 32000.0 / 24},
                        {0x0400, 0x0400 + 27, 2000.0}};
    SpcBuilder spc;
    spc.SetDir(0x03);
    spc.Put(0x0400, EncodeInstrument(12, true, 16));
    spc.Put(0x0600, EncodeInstrument(12, true, 24));
    for (unsigned i = 0; i < 4; ++i) spc.PutEntry(0x0300, i, rows[i].start, rows[i].loop);
    nlohmann::json listing = ListJson(Put("tones.spc", spc.file));
    ASSERT_EQ(listing["samples"].size(), 4u);
    for (unsigned i = 0; i < 4; ++i) {
        const nlohmann::json& row = listing["samples"][i];
        ASSERT_TRUE(row["tuning"].is_object()) << row;
        EXPECT_NEAR(row["tuning"]["hz"].get<double>(), rows[i].hz, 0.01) << "row " << i;  // listed to 0.01 Hz
    }
}

// One SoundFont per input, named after it or by --one-file, that FluidSynth
// loads without a word of complaint, with a preset per sample and the kit.
TEST_F(InstrumentCliTest, SoundFontsLoadInFluidSynth) {
    SpcBuilder spc;
    spc.SetDir(0x03);
    spc.Put(0x0400, FilteredInstrument(12, 2));
    spc.Put(0x0800, EncodeInstrument(20, false));
    spc.PutEntry(0x0300, 0, 0x0400, 0x0400 + 27);
    spc.PutEntry(0x0300, 1, 0x0800, 0x0800);
    spc.PutEntry(0x0300, 2, 0x0400, 0x0400 + 27);  // the same as 00: not stored again
    spc.SetVoice(0, 0);
    Put("song.spc", spc.file);
    Bytes rom = Filler(5);
    for (uint8_t data : {0x21, 0x00, 0x35}) {
        Bytes run = MakeRun(66, 0x80, 0x81, data);
        rom.insert(rom.end(), run.begin(), run.end());
        rom.insert(rom.end(), 7, 0xFE);
    }
    Put("game.sfc", rom);
    struct Case {
        std::vector<std::string> args;
        std::string file;
        std::vector<std::string> presets;
    } cases[] = {
        {{"rip", "song.spc", "--format", "sf2"}, "song.sf2", {"000-000 00", "000-001 01", "128-000 all samples"}},
        {{"rip", "game.sfc", "--format", "sf2", "--skip-silent", "--out", "banks"}, "banks/game.sf2",
         {"000-000 1", "000-001 3", "128-000 all samples"}},
        {{"rip", "song.spc", "--format", "sf2", "--one-file", "named.sf2"}, "named.sf2", {"000-000 00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        CliResult result = Run(c.args);
        ASSERT_EQ(result.status, 0) << result.err;
        std::string shown = Shell("printf 'inst 1\\nquit\\n' | fluidsynth -n -a file -o audio.file.name=/dev/null " +
                                  Quote(work + "/" + c.file));
        EXPECT_FALSE(Contains(shown, "rror") || Contains(shown, "arning")) << shown;
        for (const std::string& preset : c.presets) EXPECT_TRUE(Contains(shown, preset)) << shown;
    }
    CliResult wavNamedSf2 = Run({"rip", "song.spc", "--one-file", "song.SF2"});
    EXPECT_EQ(wavNamedSf2.status, 2);
    EXPECT_FALSE(fs::exists(work + "/song.SF2"));
    EXPECT_FALSE(Contains(Shell("printf 'inst 1\\nquit\\n' | fluidsynth -n -a file -o audio.file.name=/dev/null " +
                                Quote(work + "/banks/game.sf2")),
                          "000-002"));
}

}  // namespace
