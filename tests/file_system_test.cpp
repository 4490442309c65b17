#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "engine/files/file_system.h"
#include "tests/test_support.h"

namespace {

class FileSystemTest : public AppTest {};

TEST_F(FileSystemTest, IdentityFollowsLinksButLstatSeesThem) {
    std::string rom = WriteTempFile("game.sfc", Bytes(100, 7));
    std::string hard = tempDir + "/hard.sfc", soft = tempDir + "/soft.sfc";
    ASSERT_EQ(::link(rom.c_str(), hard.c_str()), 0);
    ASSERT_EQ(::symlink(rom.c_str(), soft.c_str()), 0);
    EXPECT_TRUE(SameFile(rom, hard));
    EXPECT_TRUE(SameFile(rom, soft));
    EXPECT_FALSE(SameFile(rom, WriteTempFile("other.sfc", Bytes(100, 7))));
    EXPECT_FALSE(SameFile(rom, tempDir + "/missing"));

    FileInfo info;
    ASSERT_EQ(StatFile(soft, info), 0);
    EXPECT_EQ(info.kind, FileKind::kRegular);
    EXPECT_EQ(info.size, 100u);
    ASSERT_EQ(LstatFile(soft, info), 0);
    EXPECT_EQ(info.kind, FileKind::kSymlink);
    EXPECT_EQ(StatFile(tempDir + "/missing", info), ENOENT);
    EXPECT_EQ(info.kind, FileKind::kMissing);
    ASSERT_EQ(StatFile(tempDir, info), 0);
    EXPECT_EQ(info.kind, FileKind::kDirectory);
}

TEST_F(FileSystemTest, RenameOverReplacesALinkWithoutWritingThroughIt) {
    std::string victim = WriteTempFile("victim", Bytes{1, 2, 3});
    std::string target = tempDir + "/1.wav";
    ASSERT_EQ(::symlink(victim.c_str(), target.c_str()), 0);
    std::string temporary = WriteTempFile("1.wav.tmp", Bytes{9});
    ASSERT_EQ(RenameOver(temporary, target), 0);
    EXPECT_EQ(ReadWholeFile(victim), (Bytes{1, 2, 3}));
    EXPECT_EQ(ReadWholeFile(target), Bytes{9});
    FileInfo info;
    ASSERT_EQ(LstatFile(target, info), 0);
    EXPECT_EQ(info.kind, FileKind::kRegular);
    EXPECT_EQ(RenameOver(tempDir + "/gone", target), ENOENT);
}

TEST_F(FileSystemTest, DirectoriesAndRemovalReportTheReason) {
    std::string dir = tempDir + "/out";
    EXPECT_EQ(MakeDirectory(dir), 0);
    EXPECT_EQ(MakeDirectory(dir), EEXIST);
    EXPECT_EQ(MakeDirectory(tempDir + "/no/such"), ENOENT);
    std::string file = WriteTempFile("x", Bytes{1});
    EXPECT_EQ(RemoveFile(file), 0);
    EXPECT_EQ(RemoveFile(file), ENOENT);

    std::FILE* stream = std::fopen((dir + "/s").c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    std::fputs("abc", stream);
    EXPECT_EQ(SyncFile(stream), 0);
    std::fclose(stream);
    EXPECT_EQ(ReadWholeFile(dir + "/s"), (Bytes{'a', 'b', 'c'}));
}

}  // namespace
