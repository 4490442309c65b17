#include "tests/cli_runner.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

void CliRunTest::SetUp() {
    char pattern[] = "/tmp/voxtrawl-cli-test-XXXXXX";
    root = mkdtemp(pattern);
    work = root + "/work";
    fs::create_directory(work);
}

void CliRunTest::TearDown() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

CliResult CliRunTest::Run(const std::vector<std::string>& args, const std::string& stdoutTo) {
    std::string errPath = root + "/stderr.txt";
    std::string command = "cd " + Quote(work) + " && timeout 60 " + Quote(program);
    for (const std::string& arg : args) command += " " + Quote(arg);
    command += " 2>" + Quote(errPath);
    if (!stdoutTo.empty()) command += " >" + Quote(stdoutTo);
    CliResult result{-1, "", ""};
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = ReadText(errPath);
    return result;
}

std::string CliRunTest::Put(const std::string& name, const Bytes& bytes) {
    fs::create_directories(fs::path(work + "/" + name).parent_path());
    WriteWholeFile(work + "/" + name, bytes);
    return name;
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadText(const std::string& path) {
    Bytes bytes = ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}
