#include "output/wav_file.h"

#include "core/file_system.h"

namespace {
long long writeBudget = -1;
}

std::FILE* OpenForWrite(const std::string& path) { return std::fopen(path.c_str(), "wb"); }

bool WriteAll(std::FILE* file, const void* data, size_t bytes) {
    if (bytes == 0) return true;
    if (writeBudget >= 0) {
        if (static_cast<unsigned long long>(writeBudget) < bytes) {
            std::fwrite(data, 1, static_cast<size_t>(writeBudget), file);
            writeBudget = 0;
            return false;
        }
        writeBudget -= static_cast<long long>(bytes);
    }
    return std::fwrite(data, 1, bytes, file) == bytes;
}

bool CloseWritten(std::FILE* file) {
    bool flushed = std::fflush(file) == 0;
    bool closed = std::fclose(file) == 0;
    return flushed && closed;
}

void RemoveIncompleteFile(const std::string& path) {
    // LstatFile looks at a link itself, so a link is left alone.
    FileInfo info;
    if (LstatFile(path, info) == 0 && info.kind == FileKind::kRegular) RemoveFile(path);
}

void SetWriteBudget(long long bytes) { writeBudget = bytes; }
