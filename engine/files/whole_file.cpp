#include "engine/files/whole_file.h"

#include <cerrno>
#include <random>

#include "engine/files/file_system.h"
#include "engine/files/pending_file.h"

namespace {

long long writeBudget = -1;

#ifdef _WIN32
constexpr const char* kSeparators = "\\/";
#else
constexpr const char* kSeparators = "/";
#endif

// A hidden name beside the target that no other writer picks: the
// target's name with a random tag.
std::string TemporaryName(const std::string& target) {
    static std::mt19937 random{std::random_device{}()};
    size_t nameStart = target.find_last_of(kSeparators);
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    char tag[16];
    std::snprintf(tag, sizeof tag, "%08x", static_cast<unsigned>(random()));
    return target.substr(0, nameStart) + "." + target.substr(nameStart) + "." + tag + ".tmp";
}

// Whether the target is a device or pipe, itself or behind a link.
bool WrittenDirectly(const std::string& target, int& error) {
    FileInfo info;
    error = LstatFile(target, info);
    if (error == ENOENT) error = 0;
    if (error || info.kind == FileKind::kMissing || info.kind == FileKind::kRegular) return false;
    if (info.kind == FileKind::kDirectory) {
        error = EISDIR;
        return false;
    }
    if (info.kind == FileKind::kSymlink) {
        FileInfo linked;
        return StatFile(target, linked) == 0 && linked.kind == FileKind::kOther;
    }
    return true;
}

void Close(OutputFile& file) {
    if (file.stream) std::fclose(file.stream);
    file.stream = nullptr;
}

void RemoveTemporary(OutputFile& file) {
    if (file.temp.empty()) return;
    RemoveFile(file.temp);
    RemovePendingFile(file.temp.c_str());
    file.temp.clear();
}

// Flushes and closes the stream, syncing it first when asked to.
int Close(OutputFile& file, bool sync) {
    int error = file.error;
    errno = 0;
    if (!error && std::fflush(file.stream) != 0) error = errno ? errno : EIO;
    // A device or pipe has nothing to sync.
    if (!error && sync && !file.temp.empty()) error = SyncFile(file.stream);
    errno = 0;
    if (std::fclose(file.stream) != 0 && !error) error = errno ? errno : EIO;
    file.stream = nullptr;
    return error;
}

}  // namespace

int OpenOutput(const std::string& target, OutputFile& file, bool mayBeDevice) {
    file = OutputFile();
    file.target = target;
    int error = 0;
    if (WrittenDirectly(target, error)) {
        if (!mayBeDevice) return kNotAFile;
        file.stream = std::fopen(target.c_str(), "wb");
        return file.stream ? 0 : (errno ? errno : EIO);
    }
    if (error) return error;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = TemporaryName(target);
        // Known to the interrupt handler before it exists, so that no
        // moment is left when it exists unknown.
        if (!AddPendingFile(temp.c_str())) return ENOMEM;
        error = CreateNewFile(temp, file.stream);
        if (!error) {
            file.temp = temp;
            return 0;
        }
        RemovePendingFile(temp.c_str());
        if (error != EEXIST) return error;
    }
    return error;
}

bool WriteOutput(OutputFile& file, const void* data, size_t bytes) {
    if (file.error) return false;
    if (bytes == 0) return true;
    if (writeBudget >= 0) {
        if (static_cast<unsigned long long>(writeBudget) < bytes) {
            std::fwrite(data, 1, static_cast<size_t>(writeBudget), file.stream);
            writeBudget = 0;
            file.error = ENOSPC;
            return false;
        }
        writeBudget -= static_cast<long long>(bytes);
    }
    errno = 0;
    if (std::fwrite(data, 1, bytes, file.stream) == bytes) return true;
    file.error = errno ? errno : EIO;
    return false;
}

int FinishOutput(OutputFile& file) {
    int error = Close(file, true);
    if (!error) error = CommitOutput(file);
    if (error) RemoveTemporary(file);
    return error;
}

int CloseUnsynced(OutputFile& file) {
    int error = Close(file, false);
    if (error) RemoveTemporary(file);
    return error;
}

int CommitOutput(OutputFile& file) {
    if (file.temp.empty()) return 0;
    if (int error = RenameOver(file.temp, file.target)) {
        RemoveTemporary(file);
        return error;
    }
    RemovePendingFile(file.temp.c_str());
    file.temp.clear();
    return 0;
}

void AbandonOutput(OutputFile& file) {
    Close(file);
    RemoveTemporary(file);
}

void SetWriteBudget(long long bytes) { writeBudget = bytes; }
