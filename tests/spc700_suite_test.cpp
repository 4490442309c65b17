// The CPU against the single-step suite: every opcode's registers, flags,
// memory, cycle count and bus order, 25 cases each.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/shared_testdata.h"
#include "tools/spc700_suite.h"

TEST(Spc700Suite, EveryOpcodeMatchesTheSuite) {
    std::filesystem::path folder = SharedTestData("spc700");
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no single-step suite at " << folder;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".json") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), 256u);
    int passed = 0;
    for (const auto& file : files) {
        Spc700SuiteResult result = RunSpc700SuiteFile(file.string());
        EXPECT_TRUE(result.error.empty()) << result.error;
        EXPECT_EQ(result.failed, 0) << file.filename() << ": " << (result.failures.empty() ? "" : result.failures[0]);
        passed += result.passed;
    }
    EXPECT_EQ(passed, 6400);
}
