// Standard output of voxtrawl-cli. Every write to it goes through here so
// that a failed one (a full disk, a closed pipe) is remembered and the
// command can end with exit code 1 instead of claiming success.
#pragma once

#include <cstddef>
#include <string>

// The path that names standard output on the command line ("-").
constexpr const char* kStandardOutputPath = "-";

void WriteOut(const void* data, size_t bytes);
void WriteOut(const std::string& text);
// printf to standard output.
void PrintOut(const char* format, ...) __attribute__((format(printf, 1, 2)));
void FlushOut();
// Flushes standard output; returns 0, or the errno of the first write or
// flush that failed.
int FinishOut();
