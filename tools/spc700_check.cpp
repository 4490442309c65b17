// spc700_check FILE.json...: runs the SPC700 single-step suite and prints,
// per file and in total, how many cases passed and failed.
#include <cstdio>

#include "tools/spc700_suite.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: spc700_check FILE.json...\n");
        return 2;
    }
    int passed = 0, failed = 0;
    bool unreadable = false;
    for (int i = 1; i < argc; ++i) {
        Spc700SuiteResult result = RunSpc700SuiteFile(argv[i]);
        if (!result.error.empty()) {
            std::fprintf(stderr, "spc700_check: %s\n", result.error.c_str());
            unreadable = true;
            continue;
        }
        std::printf("%s: %d passed, %d failed\n", argv[i], result.passed, result.failed);
        for (const std::string& failure : result.failures) std::printf("  %s\n", failure.c_str());
        passed += result.passed;
        failed += result.failed;
    }
    std::printf("total: %d passed, %d failed\n", passed, failed);
    if (unreadable) return 2;
    return failed ? 1 : 0;
}
