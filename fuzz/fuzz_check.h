// Invariant checks of the fuzz harnesses: a violated invariant must stop
// the run with a crash that libFuzzer records, not just print.
#pragma once

#include <cstdio>

[[noreturn]] inline void FuzzFail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant violated: %s\n", file, line, condition);
    std::fflush(stderr);
    __builtin_trap();
}

#define FUZZ_CHECK(condition)                                          \
    do {                                                               \
        if (!(condition)) FuzzFail(#condition, __FILE__, __LINE__);    \
    } while (0)
