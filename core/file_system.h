// The few file-system calls that standard C++ does not offer portably.
// Every call returns 0 or an errno value.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

enum class FileKind { kMissing, kRegular, kDirectory, kLink, kOther };

struct FileInfo {
    FileKind kind = FileKind::kMissing;
    uint64_t size = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
};

int StatFile(const std::string& path, FileInfo& info);
int LstatFile(const std::string& path, FileInfo& info);
int ReplaceFile(const std::string& from, const std::string& to);
int SyncFile(std::FILE* file);
int MakeDirectory(const std::string& path);
int RemoveFile(const std::string& path);
// Creates a file that must not exist yet and opens it for writing ("wb").
int CreateNewFile(const std::string& path, std::FILE*& file);
