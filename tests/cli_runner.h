// Runs the built voxtrawl-cli as a user would from a shell, in a private
// work directory that is removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_support.h"

struct CliResult {
    int status;  // exit code; -1 when the program did not exit by itself
    std::string out;
    std::string err;
};

class CliRunTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the program in the work directory; a hang ends after 60 s.
    // stdoutTo, when given, is where its standard output goes (a path for
    // the shell: "/dev/full", a file) instead of result.out.
    CliResult Run(const std::vector<std::string>& args, const std::string& stdoutTo = "");
    // Writes a file into the work directory, with its folders; returns its
    // name there.
    std::string Put(const std::string& name, const Bytes& bytes);

    std::string root;  // holds work and what the program must not see in it
    std::string work;
    std::string program = VOXTRAWL_CLI;  // the binary Run starts
};

// The text quoted for a POSIX shell.
std::string Quote(const std::string& text);
std::string ReadText(const std::string& path);
// Directory entries, by name, hidden ones included.
std::vector<std::string> Entries(const std::string& dir);
