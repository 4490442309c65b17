// Runs the built voxtrawl-cli in a private work directory, for the tests
// that check its files, output and exit codes.
#pragma once

#include <string>
#include <vector>

#include "tests/test_support.h"

struct CliResult {
    int status;  // exit code, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

// The text quoted for the shell.
std::string Quote(const std::string& text);

class CliTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the program in the work directory; a hang ends after 30 s.
    // stdoutTo, when given, is where its standard output goes (a path for
    // the shell: "/dev/full", a file) instead of result.out.
    CliResult Run(const std::vector<std::string>& args, const std::string& stdoutTo = "");

    // Writes a file into the work directory; returns its name there.
    std::string Put(const std::string& name, const Bytes& bytes);

    std::string root;
    std::string work;
};

// Directory entries, by name, hidden ones included.
std::vector<std::string> Entries(const std::string& dir);
