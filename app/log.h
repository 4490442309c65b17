// The capped log pane, the sink of the log lines and message boxes.
#pragma once

#include "engine/log/log_sink.h"

constexpr unsigned kLogCapacity = 60000;

// Appends text, first dropping whole lines from the top so that the log
// stays within kLogCapacity characters; refreshes and scrolls the pane.
void LogAppend(const char* text);
// Empties the log and the pane.
void LogClear();
// The log's current text.
const char* LogText();

// Makes the pane the sink of LogPrint and ShowMessage (the platform's boxes).
void InstallLogPane();
