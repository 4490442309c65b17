#include <string>

#include "tests/test_support.h"
#include "app/log.h"

namespace {

class LogTest : public AppTest {};

// Keeps only whole lines: the text must be a suffix of the full history
// that starts right after a line feed (or at its start).
bool DroppedWholeLinesOf(const std::string& history, const std::string& log) {
    if (log.size() > history.size() || history.compare(history.size() - log.size(), log.size(), log) != 0)
        return false;
    size_t cut = history.size() - log.size();
    return cut == 0 || history[cut - 1] == '\n';
}

TEST_F(LogTest, FirstAppendBecomesTheTextAndStaysAtTheTop) {
    LogAppend("Welcome\r\nline two\r\n");
    EXPECT_STREQ(LogText(), "Welcome\r\nline two\r\n");
    EXPECT_EQ(platform.paneText, LogText());
    EXPECT_EQ(platform.scrolledTo, 0);
}

TEST_F(LogTest, ScrollsSoThatTheNewestThirteenLinesShow) {
    std::string text;
    for (int i = 0; i < 19; ++i) text += "line\r\n";  // 20 display lines
    LogAppend(text.c_str());
    EXPECT_EQ(platform.scrolledTo, 7);
}

TEST_F(LogTest, CapIsExactAndDropsWholeLinesFromTheTop) {
    std::string first(100, 'a');
    first += "\r\n";
    LogAppend(first.c_str());
    std::string filler(60000 - first.size(), 'b');
    LogAppend(filler.c_str());
    EXPECT_EQ(std::string(LogText()).size(), 60000u) << "reaching exactly the cap drops nothing";
    LogAppend("c");
    EXPECT_EQ(std::string(LogText()), filler + "c") << "the first line went, whole";
}

TEST_F(LogTest, CarriageReturnAloneDoesNotEndALine) {
    std::string text = "one\rtwo\r\nthree";
    LogAppend(text.c_str());
    LogAppend(std::string(60000 - 6, 'x').c_str());
    EXPECT_EQ(std::string(LogText()), "three" + std::string(60000 - 6, 'x'));
}

TEST_F(LogTest, LogWithoutLineFeedIsEmptiedWhole) {
    LogAppend(std::string(59995, 'a').c_str());
    LogAppend("\r\nnew text");
    EXPECT_STREQ(LogText(), "\r\nnew text");
}

TEST_F(LogTest, OverlongTextKeepsItsEnd) {
    std::string text = "head\n" + std::string(70000, 'z') + "tail";
    LogAppend(text.c_str());
    std::string log = LogText();
    EXPECT_EQ(log.size(), 60000u);
    EXPECT_EQ(log.substr(log.size() - 4), "tail");
}

TEST_F(LogTest, ManyAppendsKeepTheInvariants) {
    std::string history;
    unsigned seed = 7;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1103515245 + 12345;
        std::string message = "\r\nmessage " + std::to_string(i) + std::string(seed % 1900, 'm');
        LogAppend(message.c_str());
        history += message;
        std::string log = LogText();
        ASSERT_LE(log.size(), 60000u);
        ASSERT_TRUE(DroppedWholeLinesOf(history, log)) << "at append " << i;
        ASSERT_EQ(log.substr(log.size() - message.size()), message);
    }
}

TEST_F(LogTest, ClearEmptiesThePaneWithoutScrolling) {
    LogAppend("\r\nsomething");
    platform.scrolledTo = 5;
    LogClear();
    EXPECT_STREQ(LogText(), "");
    EXPECT_EQ(platform.paneText, "");
    EXPECT_EQ(platform.scrolledTo, 0);
    LogPrint("\r\nFound %d samples.", 3);
    EXPECT_STREQ(LogText(), "\r\nFound 3 samples.");
}

TEST_F(LogTest, FormattedTextsAreCutAt1999Characters) {
    std::string longArgument(5000, 'p');
    LogPrint("\r\n%s", longArgument.c_str());
    EXPECT_EQ(std::string(LogText()).size(), 1999u);
    ShowMessage(true, "Caption", 0x10, "%s", longArgument.c_str());
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0].text.size(), 1999u);
}

TEST_F(LogTest, ShowMessagePassesTheAnswerBack) {
    platform.boxAnswers = {4, 2};
    EXPECT_EQ(ShowMessage(true, "Can't", 21, "file %s", "x"), 4);
    EXPECT_EQ(ShowMessage(false, "Can't", 21, "file %s", "y"), 2);
    ASSERT_EQ(platform.boxes.size(), 2u);
    EXPECT_EQ(platform.boxes[0].text, "file x");
    EXPECT_EQ(platform.boxes[0].type, 21u);
    EXPECT_FALSE(platform.boxes[1].owned);
}

}  // namespace
