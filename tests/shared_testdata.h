// Where the shared test data lies (beside the repository), for the tests
// that compare against it and skip when it is absent.
#pragma once

#include <filesystem>
#include <string>

// ../shared/testdata/SUBFOLDER from the source tree.
inline std::filesystem::path SharedTestData(const std::string& subfolder) {
    return std::filesystem::path(VOXTRAWL_SOURCE_DIR) / ".." / "shared" / "testdata" / subfolder;
}
