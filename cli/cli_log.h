// The program's log as a terminal program shows it: the log texts go to
// stdout, or to stderr when stdout carries data, or nowhere (list and
// report keep their stdout for themselves); the box of a load that failed
// goes to stderr, and a scan's progress bar is drawn on stderr when it is a
// terminal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class CliLog {
public:
    // Becomes the engine's log sink until destroyed. logTo: stdout, stderr
    // or nullptr.
    explicit CliLog(std::FILE* logTo);
    ~CliLog();
    CliLog(const CliLog&) = delete;
    CliLog& operator=(const CliLog&) = delete;

    // Prints one log text.
    void Print(const char* text);
    // Prints a box's caption and text; input is the input's name, shown
    // escaped, line breaks included, as in every other message.
    void PrintBox(const std::string& caption, const std::string& text, const std::string& input);
    // Draws the progress bar at percent.
    void Progress(uint32_t percent);
    // Removes the progress bar and flushes the log output.
    void Finish();

private:
    void DrawBar();
    void EraseBar();

    std::FILE* logTo;
    bool drawBar;
    unsigned progress = 0;
    bool barShown = false;
    bool printedAny = false;
    // The line break that ends the last message was printed early, so that
    // a line shows as soon as it is logged; the next message's leading
    // break is that one.
    bool breakPrinted = false;
};
