#include <cstring>
#include <string>

#include "app/playback.h"
#include "engine/formats/wav_header.h"
#include "app/res/resource.h"
#include "tests/test_support.h"
#include "app/log.h"

namespace {

class PlaybackTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        FakeRip(tempDir + "/game.sfc", {32, 64, 96});
    }
    // The sounds actually played (stop calls left out).
    std::vector<RecordingPlatform::Sound> Played() const {
        std::vector<RecordingPlatform::Sound> played;
        for (const auto& sound : platform.sounds)
            if (!sound.stop) played.push_back(sound);
        return played;
    }
};

TEST_F(PlaybackTest, PlayWalksThroughTheSamplesAndStopsAtTheLast) {
    for (int i = 0; i < 4; ++i) platform.Run(IDT_PLAY);
    auto played = Played();
    ASSERT_EQ(played.size(), 4u);
    const uint32_t expectedBytes[] = {32, 64, 96, 96};
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(played[i].image.size(), 44u + expectedBytes[i]);
        EXPECT_EQ(std::memcmp(played[i].image.data(), BuildWavHeader(expectedBytes[i], 8000).data(), 44), 0);
        EXPECT_EQ(played[i].flags, 0x7u);
    }
    unsigned slot3 = 2;
    EXPECT_EQ(std::memcmp(played[3].image.data() + 44, app.sampleData[slot3], 96), 0);
    EXPECT_EQ(app.currentSample, 3u);
    EXPECT_EQ(LogCount("\r\nThis is the last sample."), 2);
    // Every play stops the previous sound first.
    EXPECT_TRUE(platform.sounds[0].stop);
    EXPECT_EQ(platform.sounds[0].flags, 0x20002u);
}

TEST_F(PlaybackTest, LoopedPlayUsesTheLoopFlagAndRateOfTheMoment) {
    app.loopPlayback = 1;
    app.frequency = 22050;
    platform.Run(IDT_PLAY);
    auto played = Played();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].flags, 0xFu);
    EXPECT_EQ(std::memcmp(played[0].image.data(), BuildWavHeader(32, 22050).data(), 44), 0);
}

TEST_F(PlaybackTest, PlayRefusals) {
    app.currentSample = 4;  // one past the last
    platform.Run(IDT_PLAY);
    EXPECT_EQ(std::string(LogText()), "\r\nInvalid sample number.\r\nLast sample is 3");
    LogClear();
    app.currentSample = 9;
    platform.Run(IDT_PLAY);
    EXPECT_EQ(std::string(LogText()), "\r\nNothing to play.");
    LogClear();
    platform.Run(IDM_UNLOAD_ROM);
    LogClear();
    platform.Run(IDT_PLAY);
    EXPECT_EQ(std::string(LogText()),
              "\r\n\r\nBefore you can play samples, you must load a rom and select \"Rip to Pieces.\"");
    EXPECT_TRUE(Played().empty());
}

TEST_F(PlaybackTest, ScanWithoutStoredSamplesSaysTheLastIsZero) {
    FakeRip(tempDir + "/game.sfc", {});
    platform.Run(IDT_PLAY);
    EXPECT_EQ(std::string(LogText()), "\r\nInvalid sample number.\r\nLast sample is 0");
}

TEST_F(PlaybackTest, PlayerFailureIsLoggedAndPlayStillAdvances) {
    platform.soundFails = true;
    app.samplesWindow = &app;  // pretend the Samples window is open
    platform.Run(IDT_PLAY);
    EXPECT_EQ(std::string(LogText()), "\r\nError playing sound.");
    EXPECT_EQ(app.currentSample, 2u);
    EXPECT_EQ(platform.sampleNumberEdits, std::vector<uint32_t>{2});
}

TEST_F(PlaybackTest, NavigationLinesAndSamplesWindow) {
    app.samplesWindow = &app;
    platform.Run(IDT_NEXT);
    platform.Run(IDT_NEXT);
    platform.Run(IDT_NEXT);
    platform.Run(IDT_PREV);
    platform.Run(IDT_FIRST);
    platform.Run(IDT_FIRST);
    platform.Run(IDT_PREV);
    EXPECT_EQ(std::string(LogText()),
              "\r\nNow on 2 of 3.\r\nNow on 3 of 3.\r\nAlready on last sample.\r\nNow on 2 of 3."
              "\r\nRewound back to sample 1.\r\nAlready on first sample.\r\nAlready on first sample.");
    EXPECT_EQ(platform.sampleNumberEdits, (std::vector<uint32_t>{2, 3, 2, 1}));
}

TEST_F(PlaybackTest, NavigationAfterUnloadUsesTheOldNumber) {
    app.currentSample = 3;
    platform.Run(IDT_UNLOAD);
    LogClear();
    platform.Run(IDT_PREV);
    platform.Run(IDT_NEXT);
    EXPECT_EQ(std::string(LogText()), "\r\nNow on 2 of 0.\r\nAlready on last sample.");
}

TEST_F(PlaybackTest, ToolbarUnloadIsTheMenuUnload) {
    std::string path = app.romPath;
    platform.Run(IDT_UNLOAD);
    EXPECT_EQ(platform.commandsRun, (std::vector<unsigned>{IDT_UNLOAD, IDM_UNLOAD_ROM}));
    EXPECT_EQ(std::string(LogText()), "\r\nROM " + path + " freed from memory.");
    platform.Run(IDT_UNLOAD);
    EXPECT_EQ(LogCount("\r\nYou have to load a ROM first."), 1);
}

TEST_F(PlaybackTest, SaveCurrentGuards) {
    app.currentSample = 4;
    platform.Run(IDT_SAVE_CURRENT);
    EXPECT_EQ(std::string(LogText()), "\r\nInvalid sample # selected.");
    FakeRip(tempDir + "/game.sfc", {});
    LogClear();
    platform.Run(IDT_SAVE_CURRENT);
    EXPECT_EQ(std::string(LogText()),
              "\r\n\r\nIn order to save the current sample, you must load a rom, select \"Rip to Pieces,\" fast "
              "forward to the sample you want, then select this.");
    EXPECT_TRUE(platform.saveTitles.empty());
}

TEST_F(PlaybackTest, StopAndShutdownStopBeforeFreeing) {
    platform.Run(IDT_PLAY);
    platform.sounds.clear();
    platform.Run(IDT_STOP);
    EXPECT_NE(app.playBuffer, nullptr) << "Stop keeps the buffer";
    EXPECT_STREQ(LogText(), "");
    ReleasePlayBuffer();
    ASSERT_EQ(platform.sounds.size(), 2u);
    EXPECT_TRUE(platform.sounds[1].stop);
    EXPECT_EQ(app.playBuffer, nullptr);
}

}  // namespace
