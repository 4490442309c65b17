// The checked file writer on its own: every failure the system reports
// reaches the caller, and cleaning up after one never touches anything but
// a regular file.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "output/wav_file.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

class WavFileTest : public AppTest {};

Bytes Pattern(size_t bytes) {
    Bytes data(bytes);
    for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return data;
}

TEST_F(WavFileTest, WritesEveryByteAndClosesClean) {
    std::string path = tempDir + "/out.wav";
    Bytes data = Pattern(300000);  // more than one stream buffer
    std::FILE* file = OpenForWrite(path);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(WriteAll(file, data.data(), 1000));
    EXPECT_TRUE(WriteAll(file, data.data() + 1000, 0)) << "nothing to write is no failure";
    EXPECT_TRUE(WriteAll(file, data.data() + 1000, data.size() - 1000));
    EXPECT_TRUE(CloseWritten(file));
    EXPECT_EQ(ReadWholeFile(path), data);
}

TEST_F(WavFileTest, OpenFailsWhereNoFileCanBe) {
    EXPECT_EQ(OpenForWrite(tempDir + "/missing/out.wav"), nullptr);
    EXPECT_EQ(OpenForWrite(tempDir), nullptr) << "a directory";
}

TEST_F(WavFileTest, AFullDiskIsReportedByTheWriteOrTheClose) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    // A small write stays in the stream's buffer: the close must fail.
    std::FILE* file = OpenForWrite("/dev/full");
    ASSERT_NE(file, nullptr);
    Bytes data = Pattern(100);
    WriteAll(file, data.data(), data.size());
    EXPECT_FALSE(CloseWritten(file));
    // A large one reaches the device at once.
    file = OpenForWrite("/dev/full");
    ASSERT_NE(file, nullptr);
    Bytes large = Pattern(1 << 20);
    EXPECT_FALSE(WriteAll(file, large.data(), large.size()));
    CloseWritten(file);
}

TEST_F(WavFileTest, TheWriteBudgetCutsAtExactlyItsSize) {
    std::string path = tempDir + "/cut.wav";
    Bytes data = Pattern(100);
    std::FILE* file = OpenForWrite(path);
    ASSERT_NE(file, nullptr);
    SetWriteBudget(60);
    EXPECT_TRUE(WriteAll(file, data.data(), 50));
    EXPECT_FALSE(WriteAll(file, data.data() + 50, 50));
    EXPECT_FALSE(WriteAll(file, data.data(), 1)) << "the budget stays spent";
    SetWriteBudget(-1);
    CloseWritten(file);
    EXPECT_EQ(ReadWholeFile(path), Bytes(data.begin(), data.begin() + 60));
}

TEST_F(WavFileTest, OnlyARegularFileIsRemovedAfterAFailedWrite) {
    std::string regular = WriteTempFile("half.wav", Pattern(10));
    RemoveIncompleteFile(regular);
    EXPECT_FALSE(fs::exists(regular));

    // A link is left alone, and so is what it points to.
    std::string target = WriteTempFile("target.wav", Pattern(10));
    std::string link = tempDir + "/link.wav";
    fs::create_symlink(target, link);
    RemoveIncompleteFile(link);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadWholeFile(target), Pattern(10));

    std::string fifo = tempDir + "/fifo.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    RemoveIncompleteFile(fifo);
    EXPECT_TRUE(fs::is_fifo(fifo));

    std::string dir = tempDir + "/dir.wav";
    fs::create_directory(dir);
    RemoveIncompleteFile(dir);
    EXPECT_TRUE(fs::is_directory(dir));

    RemoveIncompleteFile(tempDir + "/never-written.wav");  // nothing there: nothing happens
}

}  // namespace
