// voxtrawl-cli and the user's files: it never writes over an input, never
// leaves a half-written file (interrupted, or on a full disk), never writes
// through a planted link, keeps each ROM's samples in their own folder and
// says what it did not do.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/files/little_endian.h"
#include "tests/cli_runner.h"

namespace fs = std::filesystem;

namespace {

// Two runs of 65 and 70 blocks: 2048 and 2208 PCM bytes.
Bytes TwoRunRom() {
    Bytes rom = Filler(5);
    for (unsigned blocks : {65u, 70u}) {
        Bytes run = MakeRun(blocks, 0x80, 0x81, static_cast<uint8_t>(blocks));
        rom.insert(rom.end(), run.begin(), run.end());
        rom.insert(rom.end(), 7, 0xFE);
    }
    return rom;
}

// Runs of blocks long samples: runs * (blocks - 1) * 32 PCM bytes.
Bytes LongRunRom(unsigned runs, unsigned blocks) {
    Bytes rom;
    Bytes run = MakeRun(blocks, 0x80, 0x81, 0x11);
    for (unsigned i = 0; i < runs; ++i) {
        rom.insert(rom.end(), run.begin(), run.end());
        rom.insert(rom.end(), 3, 0xFE);
    }
    return rom;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A WAVE file whose header sizes agree with its length.
void ExpectWholeWav(const std::string& path) {
    Bytes wav = ReadWholeFile(path);
    ASSERT_GE(wav.size(), 44u) << path;
    EXPECT_EQ(GetLe32(wav.data() + 40), wav.size() - 44) << path;
    EXPECT_EQ(GetLe32(wav.data() + 4), wav.size() - 8) << path;
}

std::vector<std::string> TemporaryFiles(const std::string& dir) {
    std::vector<std::string> found;
    for (const std::string& name : Entries(dir))
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) found.push_back(name);
    return found;
}

class CliFilesTest : public CliRunTest {
protected:
    // Starts the program in the work directory without waiting for it.
    pid_t Start(const std::vector<std::string>& args) {
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(work.c_str()) != 0) _exit(127);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            std::vector<char*> argv{const_cast<char*>(VOXTRAWL_CLI)};
            for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(VOXTRAWL_CLI, argv.data());
            _exit(127);
        }
        return pid;
    }

    // Waits until a temporary file shows in dir, then sends the signal;
    // returns the exit code (-1 when it ended another way, or too early).
    int InterruptWhileWriting(pid_t pid, const std::string& dir, int signalNumber) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            if (fs::is_directory(dir) && !TemporaryFiles(dir).empty()) {
                kill(pid, signalNumber);
                break;
            }
            if (waitpid(pid, nullptr, WNOHANG) == pid) return -1;  // finished before it was caught writing
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(CliFilesTest, AnOutputThatIsAnInputIsRefusedBeforeAnythingIsWritten) {
    const Bytes rom = TwoRunRom();
    Put("v.sfc", rom);
    fs::create_symlink("v.sfc", work + "/link.sfc");
    fs::create_hard_link(work + "/v.sfc", work + "/hard.sfc");
    fs::create_directory(work + "/out");
    fs::create_hard_link(work + "/v.sfc", work + "/out/2.wav");  // an earlier rip's file name
    struct Case {
        std::vector<std::string> args;
        std::string named;  // the output named in the message
    } cases[] = {
        {{"rip", "v.sfc", "--one-file", "v.sfc"}, "'v.sfc' is the ROM 'v.sfc'"},
        {{"rip", "link.sfc", "--one-file", "v.sfc"}, "'v.sfc' is the ROM 'link.sfc'"},
        {{"rip", "v.sfc", "--one-file", "link.sfc"}, "'link.sfc' is the ROM 'v.sfc'"},
        {{"rip", "v.sfc", "--one-file", "hard.sfc"}, "'hard.sfc' is the ROM 'v.sfc'"},
        {{"rip", "v.sfc", "--out", "out"}, "'out/2.wav' is the ROM 'v.sfc'"},
        {{"rip", "v.sfc", "--out", "out", "--clean"}, "'out/2.wav' is the ROM 'v.sfc'"},
        {{"report", "v.sfc", "-o", "hard.sfc"}, "'hard.sfc' is the ROM itself"},
        {{"report", "link.sfc", "-o", "v.sfc"}, "'v.sfc' is the ROM itself"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[3]);
        CliResult result = Run(c.args);
        EXPECT_EQ(result.status, 2);
        EXPECT_TRUE(Contains(result.err, "voxtrawl-cli: " + c.named)) << result.err;
        EXPECT_EQ(ReadWholeFile(work + "/v.sfc"), rom);
    }
    EXPECT_EQ(Entries(work + "/out"), std::vector<std::string>{"2.wav"});
    EXPECT_TRUE(fs::is_symlink(work + "/link.sfc"));
}

TEST_F(CliFilesTest, EachRomGetsItsOwnFolderOrNothingIsWritten) {
    Put("Game v1.0.sfc", TwoRunRom());
    Put("Game v1.1.sfc", LongRunRom(1, 66));
    CliResult result = Run({"rip", "Game v1.0.sfc", "Game v1.1.sfc"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Entries(work + "/Game v1.0"), (std::vector<std::string>{"1.wav", "2.wav"}));
    EXPECT_EQ(Entries(work + "/Game v1.1"), (std::vector<std::string>{"1.wav"}));

    Put("a/game.sfc", TwoRunRom());
    Put("b/game.sfc", TwoRunRom());
    Put("a/game.smc", TwoRunRom());
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"rip", "a/game.sfc", "b/game.sfc", "--out", "out"},
         "voxtrawl-cli: 'a/game.sfc' and 'b/game.sfc' would both be ripped into the folder 'out/game'"},
        {{"rip", "a/game.sfc", "a/game.smc"},
         "voxtrawl-cli: 'a/game.sfc' and 'a/game.smc' would both be ripped into the folder 'a/game'"},
        {{"rip", "a/game.sfc", "./a/../a/game.sfc"}, "would both be ripped into the folder 'a/game'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[2]);
        CliResult refused = Run(c.args);
        EXPECT_EQ(refused.status, 2);
        EXPECT_TRUE(Contains(refused.err, c.err)) << refused.err;
    }
    EXPECT_FALSE(fs::exists(work + "/out"));
    EXPECT_FALSE(fs::exists(work + "/a/game"));
}

TEST_F(CliFilesTest, StaleNumberedFilesAreNamedAndCleanRemovesOnlyThem) {
    Put("big.sfc", LongRunRom(5, 66));
    Put("small.sfc", LongRunRom(2, 66));
    ASSERT_EQ(Run({"rip", "big.sfc", "--out", "o"}).status, 0);
    Put("o/notes.txt", {1});
    Put("o/01.wav", {2});
    CliResult second = Run({"rip", "small.sfc", "--out", "o"});
    EXPECT_EQ(second.status, 0);
    EXPECT_TRUE(Contains(second.err, "voxtrawl-cli: 'o' also holds 3.wav, 4.wav, 5.wav, 01.wav from an earlier rip"))
        << second.err;
    CliResult cleaned = Run({"rip", "small.sfc", "--out", "o", "--clean"});
    EXPECT_EQ(cleaned.status, 0);
    EXPECT_EQ(cleaned.err, "");
    EXPECT_EQ(Entries(work + "/o"), (std::vector<std::string>{"1.wav", "2.wav", "notes.txt"}));
}

// A link planted where a numbered file goes is replaced by the file, and
// what it pointed to is left alone.
TEST_F(CliFilesTest, APlantedLinkIsReplacedNotWrittenThrough) {
    Put("game.sfc", TwoRunRom());
    Put("victim.txt", {'k', 'e', 'e', 'p'});
    fs::create_directory(work + "/o");
    fs::create_symlink("../victim.txt", work + "/o/1.wav");
    fs::create_symlink("../victim.txt", work + "/all.wav");
    ASSERT_EQ(Run({"rip", "game.sfc", "--out", "o"}).status, 0);
    ASSERT_EQ(Run({"rip", "game.sfc", "--one-file", "all.wav"}).status, 0);
    EXPECT_EQ(ReadWholeFile(work + "/victim.txt"), (Bytes{'k', 'e', 'e', 'p'}));
    for (const std::string& path : {work + "/o/1.wav", work + "/all.wav"}) {
        EXPECT_FALSE(fs::is_symlink(path)) << path;
        ExpectWholeWav(path);
    }
}

// Interrupted while writing, the program removes its temporary file and
// exits with 128 + the signal: the folder holds only whole files, and a
// file that was there before is as it was.
TEST_F(CliFilesTest, InterruptedRipLeavesOnlyWholeFiles) {
    Put("big.sfc", LongRunRom(200, 20000));  // 200 samples of 640 KB
    pid_t pid = Start({"rip", "big.sfc", "--out", "o"});
    EXPECT_EQ(InterruptWhileWriting(pid, work + "/o", SIGINT), 128 + SIGINT);
    EXPECT_EQ(TemporaryFiles(work + "/o"), std::vector<std::string>{});
    std::vector<std::string> files = Entries(work + "/o");
    EXPECT_LT(files.size(), 200u) << "interrupted before the end";
    for (const std::string& name : files) ExpectWholeWav(work + "/o/" + name);

    const Bytes before(5000, 0x5A);
    Put("all.wav", before);
    pid = Start({"rip", "big.sfc", "--one-file", "all.wav"});
    EXPECT_EQ(InterruptWhileWriting(pid, work, SIGTERM), 128 + SIGTERM);
    EXPECT_EQ(TemporaryFiles(work), std::vector<std::string>{});
    EXPECT_EQ(ReadWholeFile(work + "/all.wav"), before);
}

// Two rips into one folder at once may each win a file, but every file
// is wholly one rip's: the same bytes as that rip gives alone.
TEST_F(CliFilesTest, TwoRipsAtOnceNeverMixAFile) {
    Put("big.sfc", LongRunRom(40, 2000));  // 40 samples of 64 KB
    ASSERT_EQ(Run({"rip", "big.sfc", "--out", "alone8000"}).status, 0);
    ASSERT_EQ(Run({"rip", "big.sfc", "--out", "alone11025", "--rate", "11025"}).status, 0);
    pid_t first = Start({"rip", "big.sfc", "--out", "both"});
    pid_t second = Start({"rip", "big.sfc", "--out", "both", "--rate", "11025"});
    int status = 0;
    waitpid(first, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    waitpid(second, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_EQ(TemporaryFiles(work + "/both"), std::vector<std::string>{});
    for (unsigned n = 1; n <= 40; ++n) {
        std::string name = std::to_string(n) + ".wav";
        Bytes wav = ReadWholeFile(work + "/both/" + name);
        EXPECT_TRUE(wav == ReadWholeFile(work + "/alone8000/" + name) ||
                    wav == ReadWholeFile(work + "/alone11025/" + name))
            << name << " is neither rip's file";
    }
}

// On a file system that fills up: a one-file target keeps what it held,
// numbered files are whole or absent, and a listing that could not be
// written whole fails. Needs root to mount a small tmpfs.
TEST_F(CliFilesTest, FullFileSystemFailsCleanly) {
    const std::string disk = root + "/disk";
    fs::create_directory(disk);
    if (geteuid() != 0 || mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    struct Unmount {
        std::string path;
        ~Unmount() { umount(path.c_str()); }
    } unmount{disk};

    Put("game.sfc", LongRunRom(8, 200));  // 8 samples of 6368 bytes: 51 KB, and 51 KB in one file
    const Bytes before(20000, 0x5A);
    WriteWholeFile(disk + "/all.wav", before);
    CliResult one = Run({"rip", "game.sfc", "--one-file", disk + "/all.wav"});
    EXPECT_EQ(one.status, 1);
    EXPECT_TRUE(Contains(one.err, "cannot write '" + disk + "/all.wav': No space left on device")) << one.err;
    EXPECT_EQ(ReadWholeFile(disk + "/all.wav"), before);
    EXPECT_EQ(TemporaryFiles(disk), std::vector<std::string>{});

    CliResult each = Run({"rip", "game.sfc", "--out", disk + "/o"});
    EXPECT_EQ(each.status, 1);
    EXPECT_TRUE(Contains(each.err, ".wav': No space left on device")) << each.err;
    std::vector<std::string> files = Entries(disk + "/o");
    EXPECT_GE(files.size(), 1u);
    EXPECT_LT(files.size(), 8u);
    for (const std::string& name : files) ExpectWholeWav(disk + "/o/" + name);

    // Every last block taken, then a listing that cannot be written whole.
    std::FILE* fill = std::fopen((disk + "/fill").c_str(), "wb");
    ASSERT_NE(fill, nullptr);
    while (std::fputc(0, fill) != EOF && std::fflush(fill) == 0) {
    }
    std::fclose(fill);
    CliResult listing = Run({"list", "game.sfc", "--json"}, disk + "/list.json");
    EXPECT_EQ(listing.status, 1);
    EXPECT_TRUE(Contains(listing.err, "cannot write to standard output: No space left on device")) << listing.err;
}

TEST_F(CliFilesTest, StandardOutput) {
    std::string rom = Put("game.sfc", TwoRunRom());
    // The WAVE file alone on stdout, the log on stderr.
    CliResult piped = Run({"rip", rom, "--one-file", "-"});
    ASSERT_EQ(piped.status, 0) << piped.err;
    ASSERT_EQ(Run({"rip", rom, "--one-file", "all.wav"}).status, 0);
    EXPECT_EQ(Bytes(piped.out.begin(), piped.out.end()), ReadWholeFile(work + "/all.wav"));
    EXPECT_TRUE(Contains(piped.err, "Found 2 samples.")) << piped.err;

    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"list", rom}, {"list", rom, "--json"}, {"rip", rom, "--one-file", "-"}, {"rip", rom, "--out", "o"}}) {
        SCOPED_TRACE(args.back());
        CliResult full = Run(args, "/dev/full");
        EXPECT_EQ(full.status, 1);
        EXPECT_TRUE(Contains(full.err, "cannot write to standard output: No space left on device")) << full.err;
    }
}

// Zero samples with --one-file: said so, and an existing file is kept.
TEST_F(CliFilesTest, NothingFoundWritesNothing) {
    Put("silent.sfc", Filler(4000));
    const Bytes before(100, 7);
    Put("all.wav", before);
    CliResult result = Run({"rip", "silent.sfc", "--one-file", "all.wav"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(Contains(result.err, "no samples from 'silent.sfc', so nothing was written to 'all.wav'"))
        << result.err;
    EXPECT_EQ(ReadWholeFile(work + "/all.wav"), before);
}

// A folder that cannot be made under a read-only parent: the OS reason,
// and nothing written. Permission bits do not stop root, so the program
// runs as an unprivileged user.
TEST_F(CliFilesTest, AFolderUnderAReadOnlyParentFailsWithTheReason) {
    Put("game.sfc", TwoRunRom());
    fs::create_directory(work + "/ro");
    fs::permissions(work + "/ro", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    if (geteuid() == 0) {  // the child writes its standard error beside work
        for (const std::string& dir : {root, work}) EXPECT_EQ(chown(dir.c_str(), kNobodyId, kNobodyId), 0) << dir;
        // The build tree may sit where that user cannot reach (a clone under /root).
        program = root + "/voxtrawl-cli";
        fs::copy_file(VOXTRAWL_CLI, program);
        fs::permissions(program, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
    }
    UnprivilegedRun run = RunUnprivileged([&]() -> std::string {
        CliResult result = Run({"rip", "game.sfc", "--out", "ro/new/sub"});
        if (result.status != 1) return "exit " + std::to_string(result.status) + ": " + result.err;
        if (!Contains(result.err, "voxtrawl-cli: cannot create the folder 'ro/new/sub': Permission denied"))
            return "message: " + result.err;
        return "";
    });
    if (!run.ran) GTEST_SKIP() << run.failure;
    EXPECT_EQ(run.failure, "");
    EXPECT_TRUE(Entries(work + "/ro").empty());
}

TEST_F(CliFilesTest, NamesThatAreNotUtf8OrHoldControlCharacters) {
    std::string name = "\xff\xfe game.sfc";
    Put(name, TwoRunRom());
    CliResult result = Run({"list", name, "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(nlohmann::json::parse(result.out)["rom"], "\xEF\xBF\xBD\xEF\xBF\xBD game.sfc");

    CliResult missing = Run({"rip", "bad\nname\x1b.sfc"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Contains(missing.err, "voxtrawl-cli: cannot read 'bad\\nname\\x1B.sfc': No such file or directory"))
        << missing.err;
}

// Runs past the 1280-sample table get no file, and say why.
TEST_F(CliFilesTest, RunsBeyondTheTableAreListedAsNotStored) {
    Bytes rom;
    for (unsigned i = 0; i < 1300; ++i) {
        AppendBlock(rom, 0x81);  // a run of one end block: span 0
        rom.push_back(0xFE);
    }
    Put("many.sfc", rom);
    CliResult result = Run({"list", "many.sfc", "--json", "--min-run", "0"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(Contains(result.err, "voxtrawl-cli: 20 qualifying runs were not stored: a rip keeps 1280 samples"))
        << result.err;
    const nlohmann::json samples = nlohmann::json::parse(result.out)["samples"];
    ASSERT_EQ(samples.size(), 1300u);
    EXPECT_EQ(samples[1279]["file"], "1280.wav");
    EXPECT_TRUE(samples[1279]["notStored"].is_null());
    for (const nlohmann::json& sample : {samples[1280], samples[1299]}) {
        EXPECT_TRUE(sample["file"].is_null());
        EXPECT_EQ(sample["notStored"], "limit");
        EXPECT_TRUE(sample["bytes"].is_null());
        EXPECT_TRUE(sample["seconds"].is_null());
    }
}

}  // namespace
