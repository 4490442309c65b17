#include "core/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

int Fill(const struct stat& st, FileInfo& info) {
    if (S_ISREG(st.st_mode)) info.kind = FileKind::kRegular;
    else if (S_ISDIR(st.st_mode)) info.kind = FileKind::kDirectory;
    else if (S_ISLNK(st.st_mode)) info.kind = FileKind::kLink;
    else info.kind = FileKind::kOther;
    info.size = static_cast<uint64_t>(st.st_size);
    info.device = static_cast<uint64_t>(st.st_dev);
    info.inode = static_cast<uint64_t>(st.st_ino);
    return 0;
}

}  // namespace

int StatFile(const std::string& path, FileInfo& info) {
    struct stat st;
    info = FileInfo();
    return stat(path.c_str(), &st) == 0 ? Fill(st, info) : errno;
}

int LstatFile(const std::string& path, FileInfo& info) {
    struct stat st;
    info = FileInfo();
    return lstat(path.c_str(), &st) == 0 ? Fill(st, info) : errno;
}

int ReplaceFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int SyncFile(std::FILE* file) { return fsync(fileno(file)) == 0 ? 0 : errno; }

int MakeDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0 ? 0 : errno; }

int RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0 ? 0 : errno; }

int CreateNewFile(const std::string& path, std::FILE*& file) {
    file = nullptr;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    file = fdopen(fd, "wb");
    if (file) return 0;
    int error = errno;
    close(fd);
    unlink(path.c_str());
    return error;
}
