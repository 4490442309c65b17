// Where the core and the savers send their log lines and message boxes.
// They do not know the log pane: the front end installs it as the sink.
#pragma once

constexpr unsigned kMessageBufferSize = 2000;

struct LogSink {
    // Receives each formatted log text; nullptr drops them.
    void (*append)(const char* text) = nullptr;
    // Shows a message box and returns the button pressed; nullptr answers 0.
    int (*message)(bool owned, const char* caption, unsigned type, const char* text) = nullptr;
};

void SetLogSink(const LogSink& sink);

// printf-style; the formatted text is cut at kMessageBufferSize - 1 characters.
void LogPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Formats and shows a message box; returns the button pressed.
// owned is false for start-up boxes that have no owner window.
int ShowMessage(bool owned, const char* caption, unsigned type, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
