#include "cli/standard_output.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

namespace {

int firstError = 0;

void Check(bool ok) {
    if (!ok && firstError == 0) firstError = errno != 0 ? errno : EIO;
}

}  // namespace

void WriteOut(const void* data, size_t bytes) {
    if (bytes == 0) return;
    errno = 0;
    Check(std::fwrite(data, 1, bytes, stdout) == bytes);
}

void WriteOut(const std::string& text) { WriteOut(text.data(), text.size()); }

void PrintOut(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    errno = 0;
    Check(std::vprintf(format, arguments) >= 0);
    va_end(arguments);
}

void FlushOut() {
    errno = 0;
    Check(std::fflush(stdout) == 0);
}

int FinishOut() {
    FlushOut();
    errno = 0;
    Check(!std::ferror(stdout));
    return firstError;
}
