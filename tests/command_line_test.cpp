#include <string>

#include "tests/test_support.h"
#include "app/command_line.h"

namespace {

TEST(CommandLine, TailFollowsTheProgramName) {
    struct Case {
        const char *commandLine, *tail;
    } cases[] = {
        {"voxtrawl.exe C:\\ROMS\\GAME.SMC", "C:\\ROMS\\GAME.SMC"},
        {"  \tvoxtrawl.exe \t  game.sfc  ", "game.sfc  "},
        {"\"C:\\Program Files\\voxtrawl.exe\" game.sfc", "game.sfc"},
        {"\"C:\\odd\tname.exe\" x", "name.exe\" x"},  // a tab also ends a quoted name
        {"voxtrawl.exe", ""},
        {"\"voxtrawl.exe\"", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(CommandLineTail(c.commandLine), c.tail) << c.commandLine;
    EXPECT_EQ(CommandLineTail(nullptr), "");
}

TEST(CommandLine, OnePairOfQuotesAroundThePathIsRemoved) {
    EXPECT_EQ(RomPathFromTail("\"C:\\My Roms\\game.sfc\""), "C:\\My Roms\\game.sfc");
    EXPECT_EQ(RomPathFromTail("\"\"two.sfc\"\""), "\"two.sfc\"");
    EXPECT_EQ(RomPathFromTail("plain.sfc"), "plain.sfc");
    EXPECT_EQ(RomPathFromTail("\"half.sfc"), "\"half.sfc");
    EXPECT_EQ(RomPathFromTail("\""), "\"");
    EXPECT_EQ(RomPathFromTail(std::string(400, 'a')).size(), 400u) << "long tails are kept whole, not cut";
}

}  // namespace
