// Writing a file whole or not at all. The bytes go to a temporary file
// beside the target, which replaces the target only once it is complete,
// flushed and synced; whatever was at the target stays untouched until
// then, and a symbolic link there is replaced, not written through. A
// device or pipe (also behind a link) is written directly: it cannot be
// replaced, and there is nothing in it to keep.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

struct OutputFile {
    std::FILE* stream = nullptr;
    std::string target;
    std::string temp;  // empty while writing the target directly
    int error = 0;     // errno of the first failed write
};

// What OpenOutput returns for a device, pipe or folder at the target when
// mayBeDevice is false: only a target the user named is written directly.
constexpr int kNotAFile = -1;

// Opens for writing; returns 0, kNotAFile or an errno value.
int OpenOutput(const std::string& target, OutputFile& file, bool mayBeDevice = true);
// Writes all bytes; false (with file.error set) when the stream took fewer.
bool WriteOutput(OutputFile& file, const void* data, size_t bytes);
// Flushes, syncs and closes, then renames the temporary file over the
// target. Returns 0, or an errno value after removing the temporary file.
int FinishOutput(OutputFile& file);
// Flushes and closes without a sync, for a folder's files that are synced
// together (SyncClosedFiles) before each is committed. Returns 0, or an
// errno value after removing the temporary file.
int CloseUnsynced(OutputFile& file);
// Renames a closed temporary file over the target. Returns 0, or an errno
// value after removing the temporary file.
int CommitOutput(OutputFile& file);
// Closes and removes the temporary file: the target keeps what it had.
void AbandonOutput(OutputFile& file);

// Test hook: after this many more bytes every write fails (-1: no limit).
void SetWriteBudget(long long bytes);
