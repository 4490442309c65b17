// Runs the SPC700 single-step suite's JSON files (one instruction per case,
// a plain 64 KiB bus) and says which cases differ from the file.
#pragma once

#include <string>
#include <vector>

// What one file gave.
struct Spc700SuiteResult {
    int passed = 0;
    int failed = 0;
    std::vector<std::string> failures;  // "name: what differs", the first few
    std::string error;                  // set when the file could not be read
};

// Runs every case of the JSON file at `path`.
Spc700SuiteResult RunSpc700SuiteFile(const std::string& path);
