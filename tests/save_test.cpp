#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "app/save.h"
#include "engine/formats/wav_header.h"
#include "app/res/resource.h"
#include "tests/test_support.h"
#include "app/log.h"

namespace {

namespace fs = std::filesystem;

class SaveTest : public AppTest {};

TEST_F(SaveTest, DirectoryNameCutsTheFileNameAtItsFirstDot) {
    struct Case {
        const char *romPath, *directory;
    } cases[] = {
        {"C:\\ROMS\\GAME.SMC", "C:\\ROMS\\GAME"},
        {"C:\\ROMS\\GAME", "C:\\ROMS\\GAME_"},
        {"C:\\MY.ROMS\\GAME.SMC", "C:\\MY.ROMS\\GAME"},
        {"/home/a.b/roms/game.sfc", "/home/a.b/roms/game"},
        {"/home/a.b/roms/game", "/home/a.b/roms/game_"},
        {".\\GAME.SMC", ".\\GAME"},
        {"roms/.hidden", "roms/.hidden_"},
        {"game.v1.sfc", "game"},
    };
    for (const Case& c : cases) EXPECT_EQ(SaveDirectoryFor(c.romPath), c.directory) << c.romPath;
}

TEST_F(SaveTest, SaveEachWritesNumberedFilesAndASummary) {
    std::string rom = tempDir + "/game.sfc";
    FakeRip(rom, {32, 64, 0});
    app.frequency = 11025;
    platform.Run(IDM_SAVE_EACH);
    std::string dir = tempDir + "/game";
    for (unsigned i = 0; i < 3; ++i)
        EXPECT_EQ(ReadWholeFile(dir + "/" + std::to_string(i + 1) + ".wav"), ExpectedWav(i, 1)) << i;
    EXPECT_EQ(std::string(LogText()), "\r\nWrote 3 .wav files in directory " + dir + " at frequency 11025.");
    // The folder is made again before every file, so one removed while saving comes back.
    EXPECT_EQ(platform.directoriesCreated, std::vector<std::string>(3, dir));
}

TEST_F(SaveTest, SaveEachNeedsSamplesAndStopsAtAFailedOpen) {
    platform.Run(IDM_SAVE_EACH);
    EXPECT_EQ(LogCount("\r\n\r\nYou have to load a rom, then choose \"Rip to Pieces\" before you can select this."), 1);

    // A plain file where the directory should be: nothing can be created inside it.
    std::string rom = tempDir + "/blocked.sfc";
    WriteWholeFile(tempDir + "/blocked", {1});
    FakeRip(rom, {32});
    platform.Run(IDM_SAVE_EACH);
    EXPECT_EQ(LogCount("\r\nCan't write file " + tempDir + "/blocked/1.wav."), 1);
    EXPECT_EQ(LogCount("\r\nWrote 0 .wav files in directory " + tempDir + "/blocked at frequency 8000."), 1);
}

TEST_F(SaveTest, FullDeviceIsReportedAndNotRemoved) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    FakeRip(tempDir + "/game.sfc", {32});
    std::string link = tempDir + "/full.wav";
    fs::create_symlink("/dev/full", link);
    platform.savePaths.push_back(link);
    app.currentSample = 1;
    platform.Run(IDT_SAVE_CURRENT);
    EXPECT_EQ(LogCount("\r\nCan't write file " + link + "."), 1);
    EXPECT_EQ(LogCount("\r\nSaved " + link + "."), 0);
    EXPECT_TRUE(fs::is_symlink(link)) << "the link is left alone";
    EXPECT_TRUE(fs::exists("/dev/full"));
}

TEST_F(SaveTest, SaveCurrentWritesOneSampleWithTheTitleOfTheMoment) {
    FakeRip(tempDir + "/game.sfc", {32, 96});
    app.currentSample = 2;
    app.frequency = 44100;
    std::string path = tempDir + "/two.wav";
    platform.savePaths.push_back(path);
    platform.Run(IDT_SAVE_CURRENT);
    EXPECT_EQ(platform.saveTitles, std::vector<std::string>{"Save Sample 2 As 44100hz .Wav File"});
    EXPECT_EQ(ReadWholeFile(path), ExpectedWav(1, 1));
    EXPECT_EQ(ReadWholeFile(path).size(), 44u + 96u);
    EXPECT_EQ(std::string(LogText()), "\r\nSaved " + path + ".");
}

TEST_F(SaveTest, RateChangeBetweenSavesChangesOnlyTheRateFields) {
    FakeRip(tempDir + "/game.sfc", {64});
    platform.savePaths = {tempDir + "/a.wav", tempDir + "/b.wav"};
    platform.Run(IDT_SAVE_CURRENT);
    app.frequency = 32000;
    platform.Run(IDT_SAVE_CURRENT);
    Bytes a = ReadWholeFile(tempDir + "/a.wav"), b = ReadWholeFile(tempDir + "/b.wav");
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        bool rateField = i >= 24 && i < 32;
        if (!rateField) {
            EXPECT_EQ(a[i], b[i]) << "byte " << i;
        }
    }
    EXPECT_NE(a[24], b[24]);
}

TEST_F(SaveTest, SaveAllPutsEverySampleBehindOneHeader) {
    FakeRip(tempDir + "/game.sfc", {32, 64, 128});
    std::string path = tempDir + "/all.wav";
    platform.savePaths.push_back(path);
    platform.progress = 40;
    platform.Run(IDM_SAVE_ALL_ONE_FILE);
    EXPECT_EQ(ReadWholeFile(path), ExpectedWav(0, 3));
    EXPECT_EQ(platform.progress, 0u);
    EXPECT_EQ(std::string(LogText()), "\r\nSaved " + path + ".");
}

TEST_F(SaveTest, SaveAllGuardsAndCancel) {
    platform.Run(IDM_SAVE_ALL_ONE_FILE);
    EXPECT_EQ(LogCount("\r\nYou have to load a ROM first."), 1);
    FakeRip(tempDir + "/game.sfc", {});
    platform.Run(IDM_SAVE_ALL_ONE_FILE);
    EXPECT_EQ(LogCount("\r\nNo samples to save."), 1);
    FakeRip(tempDir + "/game.sfc", {32});
    platform.Run(IDM_SAVE_ALL_ONE_FILE);  // no path scripted: the dialog is cancelled
    EXPECT_EQ(LogCount("\r\nCancelled save."), 1);
    EXPECT_EQ(platform.saveTitles.size(), 1u);
}

}  // namespace
