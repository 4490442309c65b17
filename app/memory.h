// Heap blocks of the program. All large allocations go through here so
// that tests can make them fail on purpose.
#pragma once

#include <cstddef>

// Returns nullptr on failure (never throws).
void* AllocBlock(size_t bytes);
void FreeBlock(void* block);

// Test hook: when set, AllocBlock calls it first and fails if it
// returns false. Pass nullptr to remove it.
using AllocGate = bool (*)(size_t bytes);
void SetAllocGate(AllocGate gate);
