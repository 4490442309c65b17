#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/memory.h"
#include "app/res/resource.h"
#include "tests/test_support.h"
#include "app/log.h"

namespace {

class RomLoaderTest : public AppTest {
protected:
    // A small image with two qualifying runs between filler bytes.
    Bytes TwoSampleRom() {
        Bytes rom = Filler(20);
        Bytes run = MakeRun(70);
        rom.insert(rom.end(), run.begin(), run.end());
        rom.insert(rom.end(), 7, 0xF0);
        run = MakeRun(66, 0x92, 0x93);
        rom.insert(rom.end(), run.begin(), run.end());
        return rom;
    }
    const RecordingPlatform::Box& LastBox() { return platform.boxes.back(); }
};

TEST_F(RomLoaderTest, LoadLogsStatsPostsRipAndScans) {
    platform.tickStep = 15;
    std::string path = WriteTempFile("game.sfc", TwoSampleRom());
    platform.openPaths.push_back(path);
    platform.Run(IDM_LOAD_AND_RIP);

    std::string expected = "\r\nYay!\r\nROM " + path + " loaded ok.\r\n\r\nStats:\r\n" +
                           std::to_string(TwoSampleRom().size()) + " bytes\r\nTook 15 milliseconds" +
                           "\r\nSearching ROM for samples...\r\nFound 2 samples.";
    EXPECT_EQ(std::string(LogText()), expected);
    EXPECT_EQ(platform.commandsRun, (std::vector<unsigned>{IDM_LOAD_AND_RIP, IDM_RIP}));
    EXPECT_EQ(app.romPath, path);
    EXPECT_EQ(app.sampleCount, 2u);
    EXPECT_TRUE(app.samplesReady);
    EXPECT_TRUE(platform.menuEnabled[IDM_UNLOAD_ROM]);
    EXPECT_TRUE(platform.menuEnabled[IDM_SAVE_ALL_ONE_FILE]);
    EXPECT_TRUE(platform.menuEnabled[IDM_SAVE_EACH]);
    EXPECT_EQ(platform.progress, 0u);
}

TEST_F(RomLoaderTest, FirstLoadReleasesNothing) {
    std::string path = WriteTempFile("game.sfc", TwoSampleRom());
    platform.openPaths.push_back(path);
    platform.SendCommand(IDM_LOAD_AND_RIP);
    // With nothing loaded there is nothing to free: no menu item grayed,
    // no progress reset; only the ROM commands are enabled.
    using Call = std::pair<unsigned, bool>;
    EXPECT_EQ(platform.menuCalls,
              (std::vector<Call>{{IDM_UNLOAD_ROM, true}, {IDM_RIP, true}, {IDM_SAVE_ALL_ONE_FILE, true}}));
    EXPECT_TRUE(platform.progressHistory.empty());
}

TEST_F(RomLoaderTest, MenuStatesFollowTheRomsLife) {
    std::string path = WriteTempFile("game.sfc", TwoSampleRom());
    platform.openPaths.push_back(path);
    // Run only the load: Rip is still queued, so the scan has not happened.
    platform.SendCommand(IDM_LOAD_AND_RIP);
    EXPECT_TRUE(platform.menuEnabled[IDM_SAVE_ALL_ONE_FILE]);
    EXPECT_FALSE(platform.menuEnabled[IDM_SAVE_EACH]);
    EXPECT_FALSE(platform.QueueEmpty());
    EXPECT_EQ(app.romCommandsEnabled, 1);

    platform.Run(IDM_UNLOAD_ROM);
    EXPECT_FALSE(platform.menuEnabled[IDM_UNLOAD_ROM]);
    EXPECT_FALSE(platform.menuEnabled[IDM_SAVE_ALL_ONE_FILE]);
    EXPECT_FALSE(platform.menuEnabled[IDM_SAVE_EACH]);
    EXPECT_EQ(app.romCommandsEnabled, 0);
}

TEST_F(RomLoaderTest, SecondLoadNamesTheFreedRomFirst) {
    LoadAndRipBytes(TwoSampleRom(), "first.sfc");
    std::string first = app.romPath;
    LogClear();
    LoadAndRipBytes(TwoSampleRom(), "second.sfc");
    std::string log = LogText();
    EXPECT_EQ(log.rfind("\r\nYay!\r\n" + first + " freed\r\nROM " + app.romPath + " loaded ok.", 0), 0u) << log;
}

TEST_F(RomLoaderTest, CommandLineLoadTakesThePathWithoutADialog) {
    app.cmdlinePath = WriteTempFile("cmd.sfc", TwoSampleRom());
    app.cmdlineLoad = 1;
    platform.Run(IDM_LOAD_AND_RIP);
    EXPECT_EQ(platform.openDialogs, 0);
    EXPECT_EQ(app.cmdlineLoad, 0);
    EXPECT_EQ(app.sampleCount, 2u);
    // The next load asks again.
    platform.Run(IDM_LOAD_AND_RIP);
    EXPECT_EQ(platform.openDialogs, 1);
}

TEST_F(RomLoaderTest, CancelledDialogDoesNothing) {
    platform.Run(IDM_LOAD_AND_RIP);
    EXPECT_EQ(platform.openDialogs, 1);
    EXPECT_STREQ(LogText(), "");
    EXPECT_TRUE(platform.boxes.empty());
}

// Each refusal keeps the ROM that was loaded before.
TEST_F(RomLoaderTest, BadFilesAreRefusedAndTheLoadedRomStays) {
    LoadAndRipBytes(TwoSampleRom(), "kept.sfc");
    std::string kept = app.romPath;
    std::string empty = WriteTempFile("empty.sfc", {});
    std::filesystem::create_directory(tempDir + "/dir.sfc");
    struct Case {
        std::string path, caption, text;
    } cases[] = {
        {tempDir + "/missing.sfc", "Internal Error (?)", "Unable to stat() file '" + tempDir + "/missing.sfc'."},
        {empty, "Ahem...", empty + " is 0 bytes!  Bet you didn't\nthink I knew that or something...\n"},
        {tempDir + "/dir.sfc", "Can't Load Rom...!", tempDir + "/dir.sfc is a directory, not a ROM image."},
    };
    for (const Case& c : cases) {
        platform.boxes.clear();
        platform.openPaths.push_back(c.path);
        platform.Run(IDM_LOAD_AND_RIP);
        ASSERT_EQ(platform.boxes.size(), 1u) << c.path;
        EXPECT_EQ(LastBox().caption, c.caption);
        EXPECT_EQ(LastBox().text, c.text);
        EXPECT_EQ(LastBox().type, 16u);
        EXPECT_EQ(app.romPath, kept);
        EXPECT_EQ(app.sampleCount, 2u);
    }
}

TEST_F(RomLoaderTest, ImagesOf2GiBAndMoreAreRefused) {
    std::string path = tempDir + "/huge.sfc";
    WriteWholeFile(path, {});
    std::filesystem::resize_file(path, 0x80000000ull);  // sparse: takes no disk
    platform.openPaths.push_back(path);
    platform.Run(IDM_LOAD_AND_RIP);
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(LastBox().caption, "Can't Load Rom...!");
    EXPECT_NE(LastBox().text.find("too big"), std::string::npos);
    EXPECT_EQ(app.romData, nullptr);
}

TEST_F(RomLoaderTest, UnreadableFileOffersRetryThenGivesUp) {
    LoadAndRipBytes(TwoSampleRom(), "kept.sfc");
    std::string path = WriteTempFile("locked.sfc", TwoSampleRom());
    chmod(path.c_str(), 0);
    chmod(tempDir.c_str(), 0755);  // the unprivileged child must reach the file
    platform.boxAnswers = {kIdRetry, kIdCancel};
    platform.openPaths.push_back(path);
    UnprivilegedRun run = RunUnprivileged([&]() -> std::string {
        platform.Run(IDM_LOAD_AND_RIP);
        std::string failures;
        if (platform.boxes.size() != 2) return "boxes shown: " + std::to_string(platform.boxes.size());
        for (const RecordingPlatform::Box& box : platform.boxes) {
            if (box.caption != "Can't Load Rom...!" || box.type != 21u ||
                box.text.find("...Couldn't load " + path + ".") == std::string::npos)
                failures += "box: " + box.caption + " / " + box.text + "\n";
        }
        if (app.sampleCount != 2u) failures += "the loaded ROM did not stay\n";
        return failures;
    });
    if (!run.ran) GTEST_SKIP() << run.failure;
    EXPECT_EQ(run.failure, "");
}

bool FailLargeBlocks(size_t bytes) { return bytes < 100; }

TEST_F(RomLoaderTest, OutOfMemoryLeavesNoRom) {
    LoadAndRipBytes(TwoSampleRom(), "kept.sfc");
    SetAllocGate(FailLargeBlocks);
    platform.openPaths.push_back(WriteTempFile("new.sfc", TwoSampleRom()));
    platform.Run(IDM_LOAD_AND_RIP);
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(LastBox().caption, "Out of Memory");
    EXPECT_EQ(LastBox().text, "Looks like Windows couldn't grab me enough\nfree memory to load your " +
                                  std::to_string(TwoSampleRom().size()) + " byte ROM...");
    EXPECT_EQ(app.romData, nullptr);
    EXPECT_EQ(app.romPath, "");
    EXPECT_EQ(app.sampleCount, 0u);
    EXPECT_FALSE(platform.menuEnabled[IDM_UNLOAD_ROM]);
}

TEST_F(RomLoaderTest, UnloadAndRipNeedARom) {
    platform.Run(IDM_UNLOAD_ROM);
    platform.Run(IDM_RIP);
    EXPECT_EQ(LogCount("\r\nYou have to load a ROM first."), 2);
    LoadAndRipBytes(TwoSampleRom());
    std::string path = app.romPath;
    app.currentSample = 2;
    app.frequency = 22050;
    app.loopPlayback = 1;
    app.minRunBytes = 100;
    platform.Run(IDM_UNLOAD_ROM);
    EXPECT_EQ(LogCount("\r\nROM " + path + " freed from memory."), 1);
    EXPECT_EQ(app.romData, nullptr);
    EXPECT_EQ(app.sampleCount, 0u);
    EXPECT_EQ(app.samplesReady, 0);
    // The user's settings outlive the ROM.
    EXPECT_EQ(app.currentSample, 2u);
    EXPECT_EQ(app.frequency, 22050);
    EXPECT_EQ(app.loopPlayback, 1);
    EXPECT_EQ(app.minRunBytes, 100);
}

TEST_F(RomLoaderTest, QueuedMessagesRunBeforeThePendingScan) {
    platform.openPaths.push_back(WriteTempFile("game.sfc", TwoSampleRom()));
    platform.PostCommand(IDM_LOAD_AND_RIP);
    platform.PostCommand(IDM_CLEAR_LOG);
    platform.RunUntilIdle();
    // Load posts Rip behind Clear, and the scan runs once the queue is empty.
    EXPECT_EQ(platform.commandsRun, (std::vector<unsigned>{IDM_LOAD_AND_RIP, IDM_CLEAR_LOG, IDM_RIP}));
    EXPECT_STREQ(LogText(), "\r\nSearching ROM for samples...\r\nFound 2 samples.");
}

}  // namespace
