// The headless platform as a terminal program sees it: the log goes to
// stdout, or to stderr when stdout carries data; message boxes go to
// stderr (answered at once, so nothing waits for input), and the progress
// bar is drawn on stderr when it is a terminal.
#pragma once

#include <cstdio>
#include <string>

#include "app/headless/headless_platform.h"

class CliPlatform : public HeadlessPlatform {
public:
    // logTo: stdout or stderr, where every log text is printed; nullptr
    // prints none (list and report keep their stdout for themselves).
    explicit CliPlatform(std::FILE* logTo);

    // The answer of the save dialog; empty answers Cancel.
    std::string saveAnswer;
    // The input being read: its name in a box is shown escaped, line
    // breaks included, as in every other message.
    std::string currentInput;

    // Removes the progress bar and flushes the log output.
    void Finish();

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

    std::FILE* logTo;
    bool drawBar;
    bool barShown = false;
    bool printedAny = false;
    // The line break that ends the last message was printed early, so that
    // a line shows as soon as it is logged; the next message's leading
    // break is that one.
    bool breakPrinted = false;
};
