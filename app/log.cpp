#include "app/log.h"

#include <cstdio>
#include <cstring>

#include "app/platform.h"

namespace {

char logText[kLogCapacity + 1];
size_t logLength = 0;

// Removes the first line, its line feed included; a text without a line
// feed counts as one line.
void DropFirstLine() {
    const void* feed = std::memchr(logText, '\n', logLength);
    if (!feed) {
        logLength = 0;
    } else {
        size_t cut = static_cast<const char*>(feed) - logText + 1;
        std::memmove(logText, logText + cut, logLength - cut);
        logLength -= cut;
    }
    logText[logLength] = '\0';
}

void RefreshPane() {
    Platform& platform = CurrentPlatform();
    platform.SetLogText(logText);
    platform.ScrollLog(platform.LogLineCount() - platform.LogVisibleLines());
}

}  // namespace

void LogAppend(const char* text) {
    size_t n = std::strlen(text);
    // A text beyond the capacity keeps its end: the newest words matter most.
    if (n > kLogCapacity) {
        text += n - kLogCapacity;
        n = kLogCapacity;
    }
    while (n + logLength > kLogCapacity) DropFirstLine();
    std::memcpy(logText + logLength, text, n);
    logLength += n;
    logText[logLength] = '\0';
    RefreshPane();
    CurrentPlatform().LogAppended(text);
}

void LogClear() {
    logLength = 0;
    logText[0] = '\0';
    CurrentPlatform().SetLogText(logText);
}

const char* LogText() { return logText; }

namespace {
int PlatformMessageBox(bool owned, const char* caption, unsigned type, const char* text) {
    return CurrentPlatform().MessageBox(owned, caption, type, text);
}
}  // namespace

void InstallLogPane() { SetLogSink({LogAppend, PlatformMessageBox}); }
