// The peak memory of voxtrawl-cli report on a large image of long chains,
// measured on the real program in a child process.
#pragma once

#include <string>

// Writes the image into dir, runs the report on it and prints one table.
void MeasureReportMemory(const std::string& cli, const std::string& dir);
