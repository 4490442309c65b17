#include <iterator>
#include <set>
#include <string>
#include <utility>

#include "app/res/resource.h"
#include "tests/test_support.h"
#include "app/commands.h"
#include "app/dialog_logic.h"
#include "app/log.h"

namespace {

class CommandsTest : public AppTest {};

TEST_F(CommandsTest, EveryToolbarButtonAndNothingElseHasItsOwnTooltip) {
    // Each tooltip names what its button does.
    const std::pair<unsigned, const char*> buttons[] = {
        {IDT_PLAY, "Play"},   {IDT_STOP, "Stop"},     {IDT_NEXT, "Next"},          {IDT_PREV, "Previous"},
        {IDT_FIRST, "First"}, {IDT_UNLOAD, "Unload"}, {IDT_SAVE_CURRENT, "Save"},
    };
    std::set<std::string> seen;
    for (const auto& [id, word] : buttons) {
        const char* tip = ToolbarTooltip(id);
        ASSERT_NE(tip, nullptr) << id;
        EXPECT_NE(std::string(tip).find(word), std::string::npos) << tip;
        seen.insert(tip);
    }
    EXPECT_EQ(seen.size(), std::size(buttons));
    for (unsigned id : {0u, 1123u, 1625u, 1633u, unsigned{IDM_LOAD_AND_RIP}, unsigned{IDM_EXIT},
                        unsigned{IDM_SAMPLES_WINDOW}, unsigned{IDM_ABOUT}})
        EXPECT_EQ(ToolbarTooltip(id), nullptr) << id;
}

TEST_F(CommandsTest, UnknownIdsAndNotificationCodesDoNothing) {
    platform.Run(0);
    platform.Run(9999);
    EXPECT_STREQ(LogText(), "");
    EXPECT_TRUE(platform.boxes.empty());
    // The high word is a notification code; only the low word names the command.
    RunCommand((1u << 16) | IDM_UNLOAD_ROM);
    EXPECT_EQ(LogCount("\r\nYou have to load a ROM first."), 1);
}

TEST_F(CommandsTest, ExitOptionsSamplesAndClear) {
    platform.Run(IDM_OPTIONS);
    platform.Run(IDM_SAMPLES_WINDOW);
    EXPECT_EQ(platform.optionsWindowShown, 1);
    EXPECT_EQ(platform.samplesWindowShown, 1);
    LogAppend("\r\nsomething");
    platform.Run(IDM_CLEAR_LOG);
    EXPECT_STREQ(LogText(), "");
    platform.PostCommand(IDM_EXIT);
    platform.PostCommand(IDM_HELP);
    platform.RunUntilIdle();
    EXPECT_TRUE(platform.quitPosted);
    EXPECT_TRUE(platform.boxes.empty()) << "nothing runs after Exit";
}

TEST_F(CommandsTest, HelpAndTheThirdAbout) {
    platform.Run(IDM_HELP);
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0].caption, "Help");
    EXPECT_EQ(platform.boxes[0].type, 0x40u);

    platform.boxes.clear();
    platform.boxAnswers = {kIdOk, kIdOk, kIdOk, kIdNo, kIdOk, kIdOk};
    for (int i = 0; i < 4; ++i) platform.Run(IDM_ABOUT);
    std::vector<std::string> captions;
    for (const auto& box : platform.boxes) captions.push_back(box.caption);
    EXPECT_EQ(captions, (std::vector<std::string>{"About VOXTRAWL", "About VOXTRAWL", "About VOXTRAWL", "*gasp*",
                                                  "About VOXTRAWL", "About VOXTRAWL"}));
    EXPECT_EQ(platform.boxes[0].text.rfind("VOXTRAWL --- v2.1\n\nThis program rips SNES sound data", 0), 0u);
    EXPECT_EQ(platform.boxes[3].type, 0x34u);
    EXPECT_NE(platform.boxes[4].text.find("\"Ha-do-ken!\""), std::string::npos);
    EXPECT_EQ(platform.boxes[5].text, platform.boxes[0].text);
}

TEST_F(CommandsTest, YesToGaspShowsNothingMore) {
    platform.boxAnswers = {kIdOk, kIdOk, kIdOk, kIdYes};
    for (int i = 0; i < 3; ++i) platform.Run(IDM_ABOUT);
    EXPECT_EQ(platform.boxes.size(), 4u);
}

TEST_F(CommandsTest, SamplesWindowSettingsAreLogged) {
    SamplesSelectRate(RateRadioIndex(44100));
    SamplesSetLoop(true);
    SamplesSetLoop(false);
    SamplesJump(1);
    FakeRip(tempDir + "/g.sfc", std::vector<uint32_t>(10, 32));
    SamplesJump(7);
    SamplesJump(11);
    SamplesJump(-3);
    EXPECT_EQ(std::string(LogText()),
              "\r\nFrequency set to 44100hz.\r\nSamples will loop.\r\nSamples won't loop."
              "\r\nInvalid sample #.  The last sample is 0.\r\nJumped to sample 7."
              "\r\nInvalid sample #.  The last sample is 10.\r\nInvalid sample #.  The last sample is 10.");
    EXPECT_EQ(app.frequency, 44100);
    EXPECT_EQ(app.loopPlayback, 0);
    EXPECT_EQ(app.currentSample, 7u);
}

TEST_F(CommandsTest, RateRadiosRunUpwardAndShowTheRateTheyChose) {
    int32_t previous = 0;
    std::set<int32_t> offered;
    for (unsigned k = 0; k < 10; ++k) {
        SamplesSelectRate(k);
        EXPECT_GT(app.frequency, previous) << "radio " << k;
        EXPECT_EQ(RateRadioIndex(app.frequency), k);
        previous = app.frequency;
        offered.insert(app.frequency);
    }
    // The sound chip's own rate, the CD family and the program's initial rate.
    for (int32_t rate : {32000, 11025, 22050, 44100, 8000}) EXPECT_EQ(offered.count(rate), 1u) << rate;
    SamplesSelectRate(10);
    EXPECT_EQ(app.frequency, previous) << "an index past the radios changes nothing";
    for (int32_t other : {0, -8000, 12345, 8001})
        EXPECT_EQ(RateRadioIndex(other), RateRadioIndex(8000)) << "any other rate shows the 8000 Hz radio";
}

}  // namespace
