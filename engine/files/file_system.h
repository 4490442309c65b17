// The few file-system calls whose standard C++ forms misbehave somewhere:
// on Windows std::filesystem widens a narrow path byte by byte instead of
// through the ANSI code page, and neither std::rename nor std::filesystem
// promise an atomic replace or a flush to disk. One implementation per
// system: ui/posix/file_system.cpp and ui/win32/file_system.cpp.
// Every call returns 0 or an errno value saying why it failed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class FileKind { kMissing, kRegular, kDirectory, kSymlink, kOther };

struct FileInfo {
    FileKind kind = FileKind::kMissing;
    uint64_t size = 0;
    // Together they name the file itself, whatever path reached it, so
    // that hard and symbolic links to one file compare equal.
    uint64_t device = 0;
    uint64_t inode = 0;
};

// Follows symbolic links. A path that does not exist gives ENOENT.
int StatFile(const std::string& path, FileInfo& info);
// Describes a symbolic link at path itself (kSymlink) rather than its target.
int LstatFile(const std::string& path, FileInfo& info);
// Whether both paths exist and name the same file.
bool SameFile(const std::string& a, const std::string& b);

// Renames from to to, replacing what was at to in one step: a reader sees
// the old file or the new one, never a mix. A symbolic link at to is
// replaced, not followed.
int RenameOver(const std::string& from, const std::string& to);
// Flushes a stream and asks the system to put its data on the disk.
int SyncFile(std::FILE* file);
// Puts the data of these closed files on the disk, with as few waits as
// the system allows (one, where it can sync a whole file system at once).
int SyncClosedFiles(const std::vector<std::string>& paths);
// Makes the names just created or renamed in a directory durable.
int SyncDirectory(const std::string& path);
// Removes one file (never a directory).
int RemoveFile(const std::string& path);
// Creates a file that must not exist yet (EEXIST if anything is there,
// a dangling link included) and opens it for writing in binary mode.
int CreateNewFile(const std::string& path, std::FILE*& file);
// Creates one directory; EEXIST when something is already there.
int MakeDirectory(const std::string& path);
