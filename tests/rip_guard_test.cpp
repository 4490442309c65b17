// The guards of rip hold on every road, whatever the input, decoder,
// format or filter: no output over an input, --clean and the stale-file
// note over every name a rip gives (and only into a folder of numbered
// files), the WAVE size limit, and no output into a pipe. And a one-file save holds one decoded sample at a time.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/inputs/open_input.h"
#include "tests/cli_runner.h"
#include "tests/spc_builder.h"

namespace fs = std::filesystem;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Two runs of 65 and 70 blocks, and a silent third one.
Bytes GuardRom() {
    Bytes rom = Filler(5);
    for (uint8_t data : {0x21, 0x35, 0x00}) {
        Bytes run = MakeRun(66, 0x80, 0x81, data);
        rom.insert(rom.end(), run.begin(), run.end());
        rom.insert(rom.end(), 7, 0xFE);
    }
    return rom;
}

// A snapshot whose directory holds entries 00 and 01.
Bytes GuardSpc() {
    SpcBuilder spc;
    spc.SetDir(0x03);
    spc.Put(0x0400, EncodeInstrument(20, false));
    spc.Put(0x0800, EncodeInstrument(10, true, 20));
    spc.PutEntry(0x0300, 0, 0x0400, 0x0400);
    spc.PutEntry(0x0300, 1, 0x0800, 0x0800 + 27);
    spc.SetVoice(0, 1);
    return spc.file;
}

// A .brr file with a loop offset: 20 blocks looping from the fourth.
Bytes GuardBrr() {
    Bytes file = {27, 0};
    Bytes blocks = EncodeInstrument(20, true, 20);
    file.insert(file.end(), blocks.begin(), blocks.end());
    return file;
}

struct Road {
    const char* name;
    const char* input;
    Bytes (*bytes)();
    std::vector<std::string> options;
    std::vector<std::string> files;  // what a rip writes into the folder
    bool wav;
    bool numbered = true;  // a folder of numbered files, not one named file
};

const Road kRoads[] = {
    {"ROM, spec decoder", "game.sfc", GuardRom, {}, {"1.wav", "2.wav", "3.wav"}, true},
    {"ROM, chip decoder", "game.sfc", GuardRom, {"--decoder", "chip"}, {"1.wav", "2.wav", "3.wav"}, true},
    {"BRR files", "game.sfc", GuardRom, {"--format", "brr"}, {"1.brr", "2.brr", "3.brr"}, false},
    {"skipped silence", "game.sfc", GuardRom, {"--skip-silent"}, {"1.wav", "2.wav"}, true},
    {"SPC snapshot", "song.spc", GuardSpc, {}, {"00.wav", "01.wav"}, true},
    {"SoundFont of a ROM", "game.sfc", GuardRom, {"--format", "sf2"}, {"game.sf2"}, false, false},
    {"SoundFont of an SPC", "song.spc", GuardSpc, {"--format", "sf2"}, {"song.sf2"}, false, false},
    {"BRR input", "voice.brr", GuardBrr, {}, {"voice.wav"}, true, false},
    {"BRR input as BRR", "voice.brr", GuardBrr, {"--format", "brr"}, {"voice.brr"}, false, false},
};

class RipGuardTest : public CliRunTest {
protected:
    CliResult Rip(const Road& road, const std::string& input, std::vector<std::string> more) {
        std::vector<std::string> args = {"rip", input};
        args.insert(args.end(), road.options.begin(), road.options.end());
        args.insert(args.end(), more.begin(), more.end());
        return Run(args);
    }
    void TearDown() override {
        unsetenv("VOXTRAWL_TEST_WAV_LIMIT");
        CliRunTest::TearDown();
    }
};

TEST_F(RipGuardTest, NoOutputOverAnInputByNameLinkOrCleaning) {
    for (const Road& road : kRoads) {
        SCOPED_TRACE(road.name);
        const Bytes input = road.bytes();
        const std::string first = "out/" + road.files.front();
        struct Case {
            const char* how;
            std::string input;
            bool clean;
        } cases[] = {
            {"the input is named as an output", first, false},
            {"a link to the input", "in/" + std::string(road.input), false},
            {"a hard link to the input", "in/" + std::string(road.input), false},
            {"--clean would remove it", "in/" + std::string(road.input), true},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.how);
            // A named file's folder is the user's: --clean removes nothing there.
            if (c.clean && !road.numbered) continue;
            // A ROM named N.brr would be read as a BRR file; that road's own
            // case is the BRR input written as BRR.
            if (IsBrrFileName(c.input) != IsBrrFileName(road.input)) continue;
            fs::remove_all(work + "/out");
            fs::remove_all(work + "/in");
            fs::create_directories(work + "/out");
            std::string original = Put(c.input, input);
            std::string how = c.how;
            if (how == "a link to the input") fs::create_symlink("../" + original, work + "/" + first);
            if (how == "a hard link to the input") fs::create_hard_link(work + "/" + original, work + "/" + first);
            if (c.clean) fs::create_hard_link(work + "/" + original, work + "/out/9F.brr");
            CliResult result = Rip(road, c.input, c.clean ? std::vector<std::string>{"--out", "out", "--clean"}
                                                            : std::vector<std::string>{"--out", "out"});
            EXPECT_EQ(result.status, 2) << result.err;
            std::string extension = fs::path(road.input).extension().string();
            std::string kind = extension == ".spc" ? "SPC snapshot" : extension == ".brr" ? "BRR file" : "ROM";
            std::string said = c.clean ? "is the " + kind + " '" + c.input + "' itself (or a link to it); --clean would "
                                         "remove it"
                                       : "writing there would destroy the " + kind + ".";
            EXPECT_TRUE(Contains(result.err, said)) << result.err;
            EXPECT_EQ(ReadWholeFile(work + "/" + original), input);
        }
    }
}

TEST_F(RipGuardTest, CleanAndTheStaleNoteKnowEveryNameAndOnlyRegularFiles) {
    for (const Road& road : kRoads) {
        SCOPED_TRACE(road.name);
        fs::remove_all(work + "/out");
        Put(road.input, road.bytes());
        for (const char* stale : {"out/4.wav", "out/9.brr", "out/7E.wav", "out/7F.brr", "out/notes.txt", "out/0x.wav"})
            Put(stale, {1});
        mkfifo((work + "/out/5.wav").c_str(), 0644);
        fs::create_directory(work + "/out/6.brr");

        CliResult kept = Rip(road, road.input, {"--out", "out"});
        EXPECT_EQ(kept.status, 0) << kept.err;
        EXPECT_EQ(Contains(kept.err, "also holds 4.wav, 9.brr, 7E.wav, 7F.brr from an earlier rip, not from this "
                                     "one (--clean removes them first)."),
                  road.numbered)
            << kept.err;

        CliResult cleaned = Rip(road, road.input, {"--out", "out", "--clean"});
        EXPECT_EQ(cleaned.status, 0) << cleaned.err;
        EXPECT_EQ(cleaned.err, "");
        std::vector<std::string> left = road.files;
        left.insert(left.end(), {"0x.wav", "5.wav", "6.brr", "notes.txt"});
        if (!road.numbered) left.insert(left.end(), {"4.wav", "9.brr", "7E.wav", "7F.brr"});
        std::sort(left.begin(), left.end());
        EXPECT_EQ(Entries(work + "/out"), left);
    }
}

TEST_F(RipGuardTest, AWaveFileBeyondItsSizeFieldIsRefusedBeforeWriting) {
    setenv("VOXTRAWL_TEST_WAV_LIMIT", "500", 1);
    for (const Road& road : kRoads) {
        SCOPED_TRACE(road.name);
        fs::remove_all(work + "/out");
        Put(road.input, road.bytes());
        CliResult each = Rip(road, road.input, {"--out", "out"});
        // BRR files have no size field to outgrow.
        EXPECT_EQ(each.status, road.wav ? 1 : 0) << each.err;
        EXPECT_EQ(fs::exists(work + "/out"), !road.wav);
        if (!road.wav) continue;
        EXPECT_TRUE(Contains(each.err, "more than one WAVE file can describe (500 bytes); nothing was written"))
            << each.err;
        CliResult one = Rip(road, road.input, {"--one-file", "all.wav"});
        EXPECT_EQ(one.status, 1) << one.err;
        EXPECT_FALSE(fs::exists(work + "/all.wav"));
    }
}

TEST_F(RipGuardTest, APipeOrFolderWhereANumberedFileGoesIsRefusedNotWaitedOn) {
    for (const Road& road : kRoads) {
        SCOPED_TRACE(road.name);
        for (bool fifo : {true, false}) {
            fs::remove_all(work + "/out");
            fs::create_directories(work + "/out");
            std::string target = work + "/out/" + road.files.back();
            if (fifo) mkfifo(target.c_str(), 0644);
            else fs::create_directory(target);
            Put(road.input, road.bytes());
            CliResult result = Rip(road, road.input, {"--out", "out"});
            EXPECT_EQ(result.status, 1) << result.err;
            EXPECT_TRUE(Contains(result.err, fifo ? "is a pipe or device" : "is a folder")) << result.err;
            EXPECT_EQ(Entries(work + "/out"), std::vector<std::string>{road.files.back()});
        }
    }
}

// Sixteen runs of 1 MiB whose chip PCM is 58 MB together: under an
// address-space limit far below that, the one-file save still succeeds,
// and under one too small for any sample it ends with a message.
TEST_F(RipGuardTest, AOneFileSaveHoldsOneSampleAtATime) {
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reserves terabytes of shadow memory at start-up, so
    // no address-space limit can be set under it; the plain build checks this.
    GTEST_SKIP() << "address-space limits cannot be used under AddressSanitizer";
#endif
    const uint32_t blocks = (1u << 20) / 9;
    Bytes rom;
    for (int run = 0; run < 16; ++run) {
        Bytes one = MakeRun(blocks, 0x80, 0x81, static_cast<uint8_t>(0x11 + run));
        rom.insert(rom.end(), one.begin(), one.end());
    }
    Put("long.sfc", rom);
    for (rlim_t limitMiB : {48, 24}) {
        SCOPED_TRACE(limitMiB);
        std::string err = work + "/err.txt";
        pid_t pid = fork();
        if (pid == 0) {
            rlimit limit{limitMiB << 20, limitMiB << 20};
            setrlimit(RLIMIT_AS, &limit);
            if (chdir(work.c_str()) != 0 || !freopen(err.c_str(), "w", stderr) || !freopen("/dev/null", "w", stdout))
                _exit(127);
            execl(VOXTRAWL_CLI, VOXTRAWL_CLI, "rip", "long.sfc", "--decoder", "chip", "--one-file", "all.wav",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        if (limitMiB == 48) {
            EXPECT_EQ(WEXITSTATUS(status), 0) << ReadText(err);
            EXPECT_EQ(fs::file_size(work + "/all.wav"), 44u + 16u * blocks * 32u);
        } else {
            EXPECT_EQ(WEXITSTATUS(status), 1) << ReadText(err);
            EXPECT_FALSE(ReadText(err).empty());
        }
        fs::remove(work + "/all.wav");
    }
}

}  // namespace

namespace {

TEST_F(RipGuardTest, InputsFromPipesNamesWithControlCharactersAndOptionsThatDoNotApply) {
    Put("song\x1b[2J.spc", GuardSpc());
    Put("empty\n.sfc", {});
    Put("silent.sfc", Filler(64));
    CliResult named = Run({"rip", "song\x1b[2J.spc", "--out", "a/b"});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_TRUE(Contains(named.out, "SPC song\\x1B[2J.spc: sample directory at $0300")) << named.out;
    EXPECT_EQ(Entries(work + "/a/b"), (std::vector<std::string>{"00.wav", "01.wav"}));
    // The names in the log's lines on standard output are escaped too.
    fs::create_symlink("/dev/full", work + "/full\x1b[2J.wav");
    struct Shown {
        std::vector<std::string> args;
        std::string line;
    } shown[] = {
        {{"--out", "o\x1b[2J"}, "Wrote 2 .wav files in directory o\\x1B[2J at frequency 32000."},
        {{"--one-file", "all\x1b[2J.wav"}, "Saved all\\x1B[2J.wav."},
        {{"--format", "sf2", "--one-file", "bank\x1b[2J.sf2"}, "Saved bank\\x1B[2J.sf2 with 2 samples"},
        {{"--format", "brr", "--out", "b\x1b[2J"}, "Wrote 2 .brr files in directory b\\x1B[2J."},
        {{"--one-file", "full\x1b[2J.wav"}, "Can't write file full\\x1B[2J.wav."},
    };
    for (const Shown& c : shown) {
        std::vector<std::string> args{"rip", "song\x1b[2J.spc"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        CliResult result = Run(args);
        EXPECT_TRUE(Contains(result.out, c.line)) << result.out;
        EXPECT_EQ(result.out.find('\x1b'), std::string::npos) << result.out;
    }
    CliResult box = Run({"rip", "empty\n.sfc"});
    EXPECT_TRUE(Contains(box.err, "Ahem...: empty\\n.sfc is 0 bytes!  Bet you didn't\nthink")) << box.err;
    CliResult mapping = Run({"list", "song\x1b[2J.spc", "--mapping", "lorom"});
    EXPECT_EQ(mapping.status, 2);
    EXPECT_TRUE(Contains(mapping.err, "--mapping applies to ROMs only")) << mapping.err;
    CliResult none = Run({"rip", "silent.sfc", "--one-file", "-"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");
    EXPECT_TRUE(Contains(none.err, "no samples from 'silent.sfc', so nothing was written to standard output")) << none.err;
    // A FIFO is read to its end: the snapshot in it is one, not a short file.
    mkfifo((work + "/fifo").c_str(), 0644);
    pid_t writer = fork();
    if (writer == 0) {
        std::FILE* fifo = std::fopen((work + "/fifo").c_str(), "wb");
        Bytes spc = GuardSpc();
        std::fwrite(spc.data(), 1, spc.size(), fifo);
        std::fclose(fifo);
        _exit(0);
    }
    CliResult fromFifo = Run({"rip", "fifo", "--out", "f"});
    waitpid(writer, nullptr, 0);
    EXPECT_EQ(fromFifo.status, 0) << fromFifo.err;
    EXPECT_EQ(Entries(work + "/f"), (std::vector<std::string>{"00.wav", "01.wav"}));
}

}  // namespace
