#include "app/memory.h"

#include <cstdlib>

namespace {
AllocGate allocGate = nullptr;
}

void* AllocBlock(size_t bytes) {
    if (allocGate && !allocGate(bytes)) return nullptr;
    // malloc(0) may return null; a zero-size block is still a valid request.
    return std::malloc(bytes ? bytes : 1);
}

void FreeBlock(void* block) { std::free(block); }

void SetAllocGate(AllocGate gate) { allocGate = gate; }
