#include "output/pending_file.h"

#include <csignal>
#include <cstring>

namespace {

// Room for the longest path most systems allow, plus the temporary suffix.
char pendingPath[4200];
volatile std::sig_atomic_t pendingSet = 0;

}  // namespace

void SetPendingFile(const char* path) {
    pendingSet = 0;
    size_t length = std::strlen(path);
    if (length >= sizeof pendingPath) return;
    std::memcpy(pendingPath, path, length + 1);
    pendingSet = 1;
}

void ClearPendingFile() { pendingSet = 0; }

const char* PendingFile() { return pendingSet ? pendingPath : nullptr; }
