// The checked file writer on its own: every failure the system reports
// reaches the caller, and cleaning up after one never touches anything but
// a regular file.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/files/whole_file.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

class WavFileTest : public AppTest {};

Bytes Pattern(size_t bytes) {
    Bytes data(bytes);
    for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return data;
}

// Names in dir that are not the given ones: left-over temporary files.
std::vector<std::string> Others(const std::string& dir, const std::vector<std::string>& known) {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
    }
    return others;
}

TEST_F(WavFileTest, WritesEveryByteThenReplacesTheTarget) {
    std::string path = WriteTempFile("out.wav", Pattern(10));
    Bytes data = Pattern(300000);  // more than one stream buffer
    OutputFile file;
    ASSERT_EQ(OpenOutput(path, file), 0);
    EXPECT_TRUE(WriteOutput(file, data.data(), 1000));
    EXPECT_TRUE(WriteOutput(file, data.data() + 1000, 0)) << "nothing to write is no failure";
    EXPECT_TRUE(WriteOutput(file, data.data() + 1000, data.size() - 1000));
    EXPECT_EQ(ReadWholeFile(path), Pattern(10)) << "the old file stays until the new one is whole";
    EXPECT_EQ(FinishOutput(file), 0);
    EXPECT_EQ(ReadWholeFile(path), data);
    EXPECT_EQ(Others(tempDir, {"out.wav"}), std::vector<std::string>{});
}

TEST_F(WavFileTest, OpenFailsWhereNoFileCanBe) {
    OutputFile file;
    EXPECT_EQ(OpenOutput(tempDir + "/missing/out.wav", file), ENOENT);
    EXPECT_EQ(OpenOutput(tempDir, file), EISDIR) << "a directory";
}

TEST_F(WavFileTest, AFullDeviceIsReportedByTheWriteOrTheFinish) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    // A device is written directly; a small write stays in the buffer.
    OutputFile file;
    ASSERT_EQ(OpenOutput("/dev/full", file), 0);
    EXPECT_TRUE(file.temp.empty());
    Bytes data = Pattern(100);
    WriteOutput(file, data.data(), data.size());
    EXPECT_EQ(FinishOutput(file), ENOSPC);
    // A large one reaches the device at once.
    ASSERT_EQ(OpenOutput("/dev/full", file), 0);
    Bytes large = Pattern(1 << 20);
    EXPECT_FALSE(WriteOutput(file, large.data(), large.size()));
    EXPECT_EQ(file.error, ENOSPC);
    AbandonOutput(file);
    EXPECT_TRUE(fs::exists("/dev/full"));
}

TEST_F(WavFileTest, AFailedWriteLeavesTheTargetAsItWas) {
    std::string path = WriteTempFile("kept.wav", Pattern(10));
    Bytes data = Pattern(100);
    OutputFile file;
    ASSERT_EQ(OpenOutput(path, file), 0);
    SetWriteBudget(60);
    EXPECT_TRUE(WriteOutput(file, data.data(), 50));
    EXPECT_FALSE(WriteOutput(file, data.data() + 50, 50));
    EXPECT_FALSE(WriteOutput(file, data.data(), 1)) << "the budget stays spent";
    SetWriteBudget(-1);
    EXPECT_EQ(FinishOutput(file), ENOSPC);
    EXPECT_EQ(ReadWholeFile(path), Pattern(10));
    EXPECT_EQ(Others(tempDir, {"kept.wav"}), std::vector<std::string>{});
}

TEST_F(WavFileTest, ALinkAtTheTargetIsReplacedNotWrittenThrough) {
    std::string target = WriteTempFile("target.wav", Pattern(10));
    std::string link = tempDir + "/link.wav";
    fs::create_symlink(target, link);
    Bytes data = Pattern(50);
    OutputFile file;
    ASSERT_EQ(OpenOutput(link, file), 0);
    ASSERT_TRUE(WriteOutput(file, data.data(), data.size()));
    ASSERT_EQ(FinishOutput(file), 0);
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(ReadWholeFile(link), data);
    EXPECT_EQ(ReadWholeFile(target), Pattern(10));
}

}  // namespace
