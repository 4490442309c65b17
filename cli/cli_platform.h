// The headless platform as a terminal program sees it: the log goes to
// stdout, message boxes to stderr (answered at once, so nothing waits for
// input), and the progress bar is drawn on stderr when it is a terminal.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ui/headless/headless_platform.h"

class CliPlatform : public HeadlessPlatform {
public:
    // echoLog: print every log text on stdout (rip does; list keeps stdout
    // for its table).
    explicit CliPlatform(bool echoLog);

    // The answer of the save dialog; empty answers Cancel.
    std::string saveAnswer;

    // Removes the progress bar and flushes the log output.
    void Finish();

    // Every text appended to the log, in order.
    const std::vector<std::string>& Logged() const { return logged; }
    // Whether a text appended at index from or later begins with prefix.
    bool LoggedSince(size_t from, const std::string& prefix) const;
    // Message boxes shown so far; every failed load shows one.
    size_t BoxesShown() const { return boxesShown; }

    void LogAppended(const char* text) override;
    int MessageBox(bool owned, const char* caption, unsigned type, const char* text) override;
    void SetProgress(unsigned position) override;
    void StepProgressBar() override;
    // No open dialog: the ROM's path comes from the command line.
    bool ChooseRomToOpen(std::string& path) override;
    bool ChooseWavToSave(const char* title, std::string& path) override;

private:
    void DrawBar();
    void EraseBar();

    bool echoLog;
    bool drawBar;
    bool barShown = false;
    bool printedAny = false;
    // The line break that ends the last message was printed early, so that
    // a line shows as soon as it is logged; the next message's leading
    // break is that one.
    bool breakPrinted = false;
    size_t boxesShown = 0;
    std::vector<std::string> logged;
};
