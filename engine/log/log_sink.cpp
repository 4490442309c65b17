#include "engine/log/log_sink.h"

#include <cstdarg>
#include <cstdio>

namespace {
LogSink sink;
}  // namespace

void SetLogSink(const LogSink& newSink) { sink = newSink; }

void LogPrint(const char* format, ...) {
    char buffer[kMessageBufferSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (sink.append) sink.append(buffer);
}

int ShowMessage(bool owned, const char* caption, unsigned type, const char* format, ...) {
    char buffer[kMessageBufferSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return sink.message ? sink.message(owned, caption, type, buffer) : 0;
}
