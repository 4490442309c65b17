// The file-system seam on Windows, through the ANSI functions so that a
// narrow path means what the Open dialog and the command line meant by it.
#include "engine/files/file_system.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

namespace {

int ErrnoFromLastError() {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        default:
            return EIO;
    }
}

// Volume and file index: the identity of the file behind the path.
void ReadIdentity(const std::string& path, FileInfo& info) {
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    BY_HANDLE_FILE_INFORMATION details;
    if (GetFileInformationByHandle(file, &details)) {
        info.device = details.dwVolumeSerialNumber;
        info.inode = (static_cast<uint64_t>(details.nFileIndexHigh) << 32) | details.nFileIndexLow;
    }
    CloseHandle(file);
}

int Describe(const std::string& path, bool followLinks, FileInfo& info) {
    info = FileInfo();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return ErrnoFromLastError();
    DWORD attributes = data.dwFileAttributes;
    if (!followLinks && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        info.kind = FileKind::kSymlink;
        return 0;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        info.kind = FileKind::kDirectory;
    } else if (attributes & FILE_ATTRIBUTE_DEVICE) {
        info.kind = FileKind::kOther;
    } else {
        info.kind = FileKind::kRegular;
        info.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    ReadIdentity(path, info);
    return 0;
}

}  // namespace

int StatFile(const std::string& path, FileInfo& info) { return Describe(path, true, info); }

int LstatFile(const std::string& path, FileInfo& info) { return Describe(path, false, info); }

bool SameFile(const std::string& a, const std::string& b) {
    FileInfo first, second;
    if (StatFile(a, first) != 0 || StatFile(b, second) != 0) return false;
    if (first.device == 0 && first.inode == 0) return false;  // identity unknown
    return first.device == second.device && first.inode == second.inode;
}

int RenameOver(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    return ErrnoFromLastError();
}

int SyncFile(std::FILE* file) {
    if (std::fflush(file) != 0) return errno;
    return _commit(_fileno(file)) == 0 ? 0 : errno;
}

int SyncClosedFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return ErrnoFromLastError();
        bool flushed = FlushFileBuffers(handle) != 0;
        int error = flushed ? 0 : ErrnoFromLastError();
        CloseHandle(handle);
        if (error) return error;
    }
    return 0;
}

// A rename is durable once MoveFileEx with MOVEFILE_WRITE_THROUGH returns.
int SyncDirectory(const std::string& /*path*/) { return 0; }

int RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) ? 0 : ErrnoFromLastError(); }

int CreateNewFile(const std::string& path, std::FILE*& file) {
    file = nullptr;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return ErrnoFromLastError();
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        DeleteFileA(path.c_str());
        return EMFILE;
    }
    file = _fdopen(fd, "wb");
    if (file) return 0;
    _close(fd);
    DeleteFileA(path.c_str());
    return EMFILE;
}

int MakeDirectory(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) ? 0 : ErrnoFromLastError();
}
