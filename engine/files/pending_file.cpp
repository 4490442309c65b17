#include "engine/files/pending_file.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Slots are never moved once published, so that a handler interrupting an
// addition sees either the old list or the new one. A slot's path is set
// before the slot is marked used, and unmarked before it is freed.
struct Slot {
    char* path = nullptr;
    volatile std::sig_atomic_t used = 0;
};

constexpr unsigned kSlotsPerBlock = 64;

struct Block {
    Slot slots[kSlotsPerBlock];
    Block* volatile next = nullptr;
};

Block first;

}  // namespace

bool AddPendingFile(const char* path) {
    char* copy = static_cast<char*>(std::malloc(std::strlen(path) + 1));
    if (!copy) return false;
    std::strcpy(copy, path);
    for (Block* block = &first;; block = block->next) {
        for (Slot& slot : block->slots) {
            if (slot.used) continue;
            std::free(slot.path);
            slot.path = copy;
            slot.used = 1;
            return true;
        }
        if (!block->next) {
            Block* added = new (std::nothrow) Block();
            if (!added) {
                std::free(copy);
                return false;
            }
            block->next = added;
        }
    }
}

void RemovePendingFile(const char* path) {
    for (Block* block = &first; block; block = block->next) {
        for (Slot& slot : block->slots) {
            if (!slot.used || std::strcmp(slot.path, path) != 0) continue;
            slot.used = 0;
            return;
        }
    }
}

void ForEachPendingFile(void (*remove)(const char* path)) {
    for (Block* block = &first; block; block = block->next)
        for (Slot& slot : block->slots)
            if (slot.used) remove(slot.path);
}
