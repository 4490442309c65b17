// The capped log pane and the formatted message box.
#pragma once

constexpr unsigned kLogCapacity = 60000;
constexpr unsigned kMessageBufferSize = 2000;

// Appends text, first dropping whole lines from the top so that the log
// stays within kLogCapacity characters; refreshes and scrolls the pane.
void LogAppend(const char* text);
// printf-style; the formatted text is cut at kMessageBufferSize - 1 characters.
void LogPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Empties the log and the pane.
void LogClear();
// The log's current text.
const char* LogText();

// Formats and shows a message box; returns the button pressed.
// owned is false for start-up boxes that have no owner window.
int ShowMessage(bool owned, const char* caption, unsigned type, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
