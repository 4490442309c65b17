// Writing a file with every write and the close checked.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Opens path for writing in binary mode; nullptr on failure.
std::FILE* OpenForWrite(const std::string& path);
// Writes all bytes; false when the stream took fewer.
bool WriteAll(std::FILE* file, const void* data, size_t bytes);
// Flushes and closes; false when either failed. The file is closed either way.
bool CloseWritten(std::FILE* file);
// Removes a file that could not be written whole, but only a regular file:
// never a device, and never what a symbolic link points to.
void RemoveIncompleteFile(const std::string& path);

// Test hook: after this many more bytes every write fails (-1: no limit).
void SetWriteBudget(long long bytes);
