#include "engine/files/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

FileKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::kRegular;
    if (S_ISDIR(mode)) return FileKind::kDirectory;
    if (S_ISLNK(mode)) return FileKind::kSymlink;
    return FileKind::kOther;
}

int Describe(int result, const struct stat& st, FileInfo& info) {
    info = FileInfo();
    if (result != 0) return errno;
    info.kind = KindOf(st.st_mode);
    info.size = static_cast<uint64_t>(st.st_size);
    info.device = static_cast<uint64_t>(st.st_dev);
    info.inode = static_cast<uint64_t>(st.st_ino);
    return 0;
}

}  // namespace

int StatFile(const std::string& path, FileInfo& info) {
    struct stat st {};
    return Describe(::stat(path.c_str(), &st), st, info);
}

int LstatFile(const std::string& path, FileInfo& info) {
    struct stat st {};
    return Describe(::lstat(path.c_str(), &st), st, info);
}

bool SameFile(const std::string& a, const std::string& b) {
    FileInfo first, second;
    if (StatFile(a, first) != 0 || StatFile(b, second) != 0) return false;
    return first.device == second.device && first.inode == second.inode;
}

int RenameOver(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int SyncFile(std::FILE* file) {
    if (std::fflush(file) != 0) return errno;
    return ::fsync(fileno(file)) == 0 ? 0 : errno;
}

int SyncClosedFiles(const std::vector<std::string>& paths) {
    if (paths.empty()) return 0;
#ifdef __linux__
    // One flush of the file system that holds them: one wait, not one per file.
    int fd = ::open(paths.front().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = ::syncfs(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
#else
    for (const std::string& path : paths) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return errno;
        int error = ::fsync(fd) == 0 ? 0 : errno;
        ::close(fd);
        if (error) return error;
    }
    return 0;
#endif
}

int SyncDirectory(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    // Some file systems cannot sync a directory; the files are on the disk.
    return error == EINVAL ? 0 : error;
}

int RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

int CreateNewFile(const std::string& path, std::FILE*& file) {
    file = nullptr;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    file = ::fdopen(fd, "wb");
    if (file) return 0;
    int error = errno;
    ::close(fd);
    ::unlink(path.c_str());
    return error;
}

int MakeDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno; }
