// Failures injected through the allocation gate, the write budget and the
// file system, one at a time at every point where they can strike: each is
// reported as the user would see it, and nothing that was complete is lost.

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/memory.h"
#include "engine/files/whole_file.h"
#include "engine/formats/wav_header.h"
#include "app/res/resource.h"
#include "tests/test_support.h"
#include "app/log.h"

namespace {

namespace fs = std::filesystem;

// Runs an action when a message box comes up, before it is answered: lets
// a test repair what made an operation fail while the user is asked.
class HookedPlatform : public RecordingPlatform {
public:
    std::function<void()> onBox;
    int MessageBox(bool owned, const char* caption, unsigned type, const char* text) override {
        if (onBox) onBox();
        return RecordingPlatform::MessageBox(owned, caption, type, text);
    }
};

// Fills the process's descriptor table, so that the next open fails even
// for root, whom permission bits do not stop.
class DescriptorsExhausted {
public:
    DescriptorsExhausted() {
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit low = saved;
        if (low.rlim_cur > 256) low.rlim_cur = 256;
        setrlimit(RLIMIT_NOFILE, &low);
        for (int fd; (fd = open("/dev/null", O_RDONLY)) >= 0;) held.push_back(fd);
    }
    ~DescriptorsExhausted() { Release(); }
    void Release() {
        for (int fd : held) close(fd);
        held.clear();
        setrlimit(RLIMIT_NOFILE, &saved);
    }

private:
    rlimit saved{};
    std::vector<int> held;
};

class FaultInjectionTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        SetPlatform(&hooked);
    }

    // Back to a fresh start inside one test, for sweeps.
    void Restart() {
        SetAllocGate(nullptr);
        SetWriteBudget(-1);
        ResetAppState();
        LogClear();
        hooked = HookedPlatform();
    }

    // Three runs whose decoded sizes differ, so each allocation is known by its size.
    static Bytes ThreeRunRom() {
        Bytes rom = Filler(11);
        for (unsigned blocks : {66u, 70u, 80u}) {
            Bytes run = MakeRun(blocks, 0x84, 0x85, static_cast<uint8_t>(blocks));
            rom.insert(rom.end(), run.begin(), run.end());
            rom.insert(rom.end(), 5, 0xE0);
        }
        return rom;
    }
    static constexpr uint32_t kRunBytes[3] = {65 * 32, 69 * 32, 79 * 32};

    void LoadAndRip(const std::string& path) {
        hooked.openPaths.push_back(path);
        hooked.Run(IDM_LOAD_AND_RIP);
    }

    bool LogHas(const std::string& message) const { return LogCount(message) > 0; }

    HookedPlatform hooked;
};

// A session allocates the ROM, one buffer per run and the play buffer, in
// that order; refusing each in turn gives that allocation's own report.
TEST_F(FaultInjectionTest, EveryAllocationOfASessionFailsAlone) {
    const Bytes rom = ThreeRunRom();
    const std::string path = WriteTempFile("game.sfc", rom);

    CountAllocations();
    LoadAndRip(path);
    hooked.Run(IDT_PLAY);
    const std::vector<size_t> session = AllocationRequests();
    ASSERT_EQ(session, (std::vector<size_t>{rom.size(), kRunBytes[0] + 44, kRunBytes[1] + 44, kRunBytes[2] + 44,
                                            kRunBytes[0] + 44}));

    for (size_t n = 1; n <= session.size(); ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " refused");
        Restart();
        CountAllocations({n});
        LoadAndRip(path);
        hooked.Run(IDT_PLAY);
        EXPECT_EQ(app.decodeBuffer, nullptr);
        if (n == 1) {
            ASSERT_EQ(hooked.boxes.size(), 1u);
            EXPECT_EQ(hooked.boxes[0].caption, "Out of Memory");
            EXPECT_EQ(hooked.boxes[0].type, 16u);
            EXPECT_EQ(hooked.boxes[0].text, "Looks like Windows couldn't grab me enough\nfree memory to load your " +
                                                std::to_string(rom.size()) + " byte ROM...");
            EXPECT_EQ(app.romData, nullptr);
            EXPECT_EQ(app.romPath, "");
            EXPECT_EQ(hooked.commandsRun, (std::vector<unsigned>{IDM_LOAD_AND_RIP, IDT_PLAY})) << "no rip is posted";
            continue;
        }
        EXPECT_TRUE(hooked.boxes.empty());
        EXPECT_TRUE(LogHas("\r\nFound 3 samples."));
        if (n <= 4) {
            unsigned failed = static_cast<unsigned>(n - 2);
            EXPECT_EQ(LogCount("\r\nError allocating " + std::to_string(kRunBytes[failed]) + " bytes."), 1);
            ASSERT_EQ(app.sampleCount, 2u);
            std::vector<uint32_t> kept;
            for (unsigned k = 0; k < 3; ++k)
                if (k != failed) kept.push_back(kRunBytes[k]);
            EXPECT_EQ(std::vector<uint32_t>(app.sampleBytes, app.sampleBytes + 2), kept);
            EXPECT_EQ(app.currentSample, 2u) << "the play that followed went through";
        } else {
            EXPECT_EQ(app.sampleCount, 3u);
            EXPECT_TRUE(LogHas("\r\nOut of memory."));
            EXPECT_EQ(app.playBuffer, nullptr);
            EXPECT_EQ(app.currentSample, 1u);
        }
    }

    // Nothing is left broken: with the gate open the same session succeeds.
    Restart();
    LoadAndRip(path);
    hooked.Run(IDT_PLAY);
    EXPECT_EQ(app.sampleCount, 3u);
    EXPECT_NE(app.playBuffer, nullptr);
}

// The largest image the loader accepts (a sparse file of 2^31 - 1 bytes)
// asks for one block of that size; refused, its size shows whole in the box.
TEST_F(FaultInjectionTest, LargestImageRefusedByTheAllocator) {
    const std::string path = tempDir + "/largest.sfc";
    WriteWholeFile(path, {});
    fs::resize_file(path, 0x7FFFFFFF);
    CountAllocations({0, 1});
    LoadAndRip(path);
    EXPECT_EQ(AllocationRequests(), std::vector<size_t>{0x7FFFFFFF});
    ASSERT_EQ(hooked.boxes.size(), 1u);
    EXPECT_EQ(hooked.boxes[0].caption, "Out of Memory");
    EXPECT_EQ(hooked.boxes[0].text,
              "Looks like Windows couldn't grab me enough\nfree memory to load your 2147483647 byte ROM...");
    EXPECT_EQ(app.romData, nullptr);
}

// With no buffer to be had for any run, the scan still counts them all and
// keeps the ROM; every command that needs a sample then refuses politely.
TEST_F(FaultInjectionTest, NoDecodeBufferAtAllLeavesARomWithoutSamples) {
    CountAllocations({0, 2});  // the ROM buffer is the first request; the rest fail
    LoadAndRip(WriteTempFile("game.sfc", ThreeRunRom()));
    for (uint32_t bytes : kRunBytes)
        EXPECT_EQ(LogCount("\r\nError allocating " + std::to_string(bytes) + " bytes."), 1);
    EXPECT_TRUE(LogHas("\r\nFound 3 samples."));
    EXPECT_NE(app.romData, nullptr) << "runs were found, so the ROM is not unloaded";
    EXPECT_EQ(app.sampleCount, 0u);
    EXPECT_TRUE(app.samplesReady);

    LogClear();
    hooked.Run(IDT_PLAY);
    EXPECT_STREQ(LogText(), "\r\nInvalid sample number.\r\nLast sample is 0");
    LogClear();
    hooked.Run(IDM_SAVE_ALL_ONE_FILE);
    hooked.Run(IDM_SAVE_EACH);
    hooked.Run(IDT_SAVE_CURRENT);
    EXPECT_EQ(std::string(LogText()),
              "\r\nNo samples to save."
              "\r\n\r\nYou have to load a rom, then choose \"Rip to Pieces\" before you can select this."
              "\r\n\r\nIn order to save the current sample, you must load a rom, select \"Rip to Pieces,\" fast "
              "forward to the sample you want, then select this.");
    EXPECT_TRUE(hooked.saveTitles.empty());
}

// A write that fails after k bytes, for every k up to the file's size, on
// both dialog saves: a file that is not whole does not remain.
TEST_F(FaultInjectionTest, DialogSavesWithAWriteFailingAfterAnyByte) {
    struct Case {
        const char* name;
        unsigned command;
        unsigned first, count;  // slots the file holds
    } cases[] = {
        {"save current", IDT_SAVE_CURRENT, 2, 1},
        {"save all into one file", IDM_SAVE_ALL_ONE_FILE, 0, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        FakeRip(tempDir + "/game.sfc", {32, 0, 64});
        app.currentSample = c.first + 1;
        const Bytes expected = ExpectedWav(c.first, c.count);
        const std::string path = tempDir + "/out.wav";
        for (size_t k = 0; k <= expected.size() + 1; ++k) {
            SCOPED_TRACE("budget " + std::to_string(k));
            LogClear();
            SetWriteBudget(static_cast<long long>(k));
            hooked.savePaths.push_back(path);
            hooked.Run(c.command);
            SetWriteBudget(-1);
            if (k < expected.size()) {
                EXPECT_FALSE(fs::exists(path));
                EXPECT_EQ(std::string(LogText()), "\r\nCan't write file " + path + ".");
            } else {
                EXPECT_EQ(ReadWholeFile(path), expected);
                EXPECT_EQ(std::string(LogText()), "\r\nSaved " + path + ".");
                fs::remove(path);
            }
        }
        EXPECT_TRUE(hooked.boxes.empty());
    }
}

// The same for the numbered files: the files finished before the failure
// stay whole, the one being written goes, none after it is started, and
// the summary counts the finished ones.
TEST_F(FaultInjectionTest, SaveEachWithAWriteFailingAfterAnyByte) {
    FakeRip(tempDir + "/game.sfc", {32, 0, 64, 2});
    const std::string dir = tempDir + "/game";
    std::vector<Bytes> files;
    std::vector<size_t> finishedAfter;  // bytes written once file i is whole
    size_t total = 0;
    for (unsigned i = 0; i < 4; ++i) {
        files.push_back(ExpectedWav(i, 1));
        total += files.back().size();
        finishedAfter.push_back(total);
    }
    for (size_t k = 0; k <= total; ++k) {
        SCOPED_TRACE("budget " + std::to_string(k));
        fs::remove_all(dir);
        LogClear();
        SetWriteBudget(static_cast<long long>(k));
        hooked.Run(IDM_SAVE_EACH);
        SetWriteBudget(-1);
        unsigned whole = 0;
        while (whole < files.size() && finishedAfter[whole] <= k) ++whole;
        auto numbered = [&](unsigned i) { return dir + "/" + std::to_string(i + 1) + ".wav"; };
        for (unsigned i = 0; i < whole; ++i) EXPECT_EQ(ReadWholeFile(numbered(i)), files[i]);
        for (unsigned i = whole; i < files.size(); ++i) EXPECT_FALSE(fs::exists(numbered(i)));
        std::string summary =
            "\r\nWrote " + std::to_string(whole) + " .wav files in directory " + dir + " at frequency 8000.";
        if (whole < files.size())
            summary = "\r\nCan't write file " + dir + "/" + std::to_string(whole + 1) + ".wav." + summary;
        EXPECT_EQ(std::string(LogText()), summary);
    }
}

// After a failed save the next one, with the disk fine again, writes
// everything: a failure leaves nothing behind that gets in the way.
TEST_F(FaultInjectionTest, SavesAfterAFailureWriteEverything) {
    FakeRip(tempDir + "/game.sfc", {64, 32});
    SetWriteBudget(44 + 64 + 10);
    hooked.Run(IDM_SAVE_EACH);
    SetWriteBudget(-1);
    hooked.Run(IDM_SAVE_EACH);
    EXPECT_EQ(ReadWholeFile(tempDir + "/game/1.wav"), ExpectedWav(0, 1));
    EXPECT_EQ(ReadWholeFile(tempDir + "/game/2.wav"), ExpectedWav(1, 1));
    EXPECT_EQ(LogCount("\r\nWrote 2 .wav files in directory " + tempDir + "/game at frequency 8000."), 1);
}

// An open that fails, answered Retry and then Cancel, on each dialog save;
// and a Retry that comes after the cause was removed, which then saves.
TEST_F(FaultInjectionTest, DialogSaveOpenFailsThenRetryOrCancel) {
    for (unsigned command : {IDT_SAVE_CURRENT, IDM_SAVE_ALL_ONE_FILE}) {
        SCOPED_TRACE(command);
        Restart();
        FakeRip(tempDir + "/game.sfc", {32, 64});
        const std::string dir = tempDir + "/later-" + std::to_string(command);
        const std::string path = dir + "/x.wav";

        hooked.savePaths.push_back(path);
        hooked.boxAnswers = {kIdRetry, kIdCancel};
        hooked.Run(command);
        ASSERT_EQ(hooked.boxes.size(), 2u);
        for (const auto& box : hooked.boxes) {
            EXPECT_EQ(box.caption, "Couldn't Open File");
            EXPECT_EQ(box.type, 21u);
            EXPECT_EQ(box.text, "Unable to open file for writing.");
        }
        EXPECT_EQ(hooked.saveTitles.size(), 1u) << "Retry does not ask for the name again";
        EXPECT_STREQ(LogText(), "");
        EXPECT_FALSE(fs::exists(path));

        hooked.boxes.clear();
        hooked.savePaths.push_back(path);
        hooked.boxAnswers = {kIdRetry};
        hooked.onBox = [&] { fs::create_directory(dir); };
        hooked.Run(command);
        EXPECT_EQ(hooked.boxes.size(), 1u);
        EXPECT_EQ(ReadWholeFile(path), command == IDT_SAVE_CURRENT ? ExpectedWav(0, 1) : ExpectedWav(0, 2));
        EXPECT_EQ(std::string(LogText()), "\r\nSaved " + path + ".");
    }
}

// The Retry box of a ROM that cannot be opened, as root too: Retry then
// Cancel keeps the loaded ROM and its samples; a Retry once the cause is
// gone loads the new one.
TEST_F(FaultInjectionTest, RomOpenFailsThenRetryOrCancel) {
    LoadAndRip(WriteTempFile("kept.sfc", ThreeRunRom()));
    const std::string kept = app.romPath;
    const std::string other = WriteTempFile("other.sfc", MakeRun(70));
    hooked.boxes.clear();
    {
        DescriptorsExhausted exhausted;
        hooked.openPaths.push_back(other);
        hooked.boxAnswers = {kIdRetry, kIdCancel};
        hooked.Run(IDM_LOAD_AND_RIP);
    }
    ASSERT_EQ(hooked.boxes.size(), 2u);
    for (const auto& box : hooked.boxes) {
        EXPECT_EQ(box.caption, "Can't Load Rom...!");
        EXPECT_EQ(box.type, 21u);
        EXPECT_NE(box.text.find("...Couldn't load " + other + "."), std::string::npos);
    }
    EXPECT_EQ(app.romPath, kept);
    EXPECT_EQ(app.sampleCount, 3u);

    hooked.boxes.clear();
    {
        DescriptorsExhausted exhausted;
        hooked.onBox = [&] { exhausted.Release(); };
        hooked.openPaths.push_back(other);
        hooked.boxAnswers = {kIdRetry};
        hooked.Run(IDM_LOAD_AND_RIP);
        hooked.onBox = nullptr;
    }
    EXPECT_EQ(hooked.boxes.size(), 1u);
    EXPECT_EQ(app.romPath, other);
    EXPECT_EQ(app.sampleCount, 1u);
}

// Retry succeeds but the write then fails: still no partial file, and the
// one earlier save of the same samples elsewhere is untouched.
TEST_F(FaultInjectionTest, RetriedOpenFollowedByAFailingWrite) {
    FakeRip(tempDir + "/game.sfc", {64, 32});
    const std::string good = tempDir + "/good.wav";
    hooked.savePaths.push_back(good);
    hooked.Run(IDM_SAVE_ALL_ONE_FILE);
    const Bytes saved = ReadWholeFile(good);
    ASSERT_EQ(saved, ExpectedWav(0, 2));

    const std::string dir = tempDir + "/later";
    hooked.savePaths.push_back(dir + "/x.wav");
    hooked.boxAnswers = {kIdRetry};
    hooked.onBox = [&] { fs::create_directory(dir); };
    SetWriteBudget(44 + 20);
    hooked.Run(IDM_SAVE_ALL_ONE_FILE);
    EXPECT_FALSE(fs::exists(dir + "/x.wav"));
    EXPECT_TRUE(LogHas("\r\nCan't write file " + dir + "/x.wav."));
    EXPECT_EQ(ReadWholeFile(good), saved);
}

}  // namespace
