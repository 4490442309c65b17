// A platform without windows, for voxtrawl-cli and the benchmark: keeps the
// command queue and runs the pending rip as the window's message loop does,
// and holds what the window would hold (menu states, progress position,
// log pane text). Message boxes and dialogs are left to the class that owns
// the session, which knows whether anybody can answer them.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "app/platform.h"

class HeadlessPlatform : public Platform {
public:
    // Makes the log pane the sink of the program's log and boxes.
    HeadlessPlatform();

    // The message loop: runs queued commands, and the pending rip whenever
    // the queue is empty, until there is nothing left to do or Exit.
    void RunUntilIdle();
    // Posts a command and runs the loop.
    void Run(unsigned id);
    bool QueueEmpty() const { return queue.empty(); }
    bool QuitPosted() const { return quitPosted; }

    unsigned Progress() const { return progress; }

    void EnableMenuCommand(unsigned id, bool enabled) override;
    void SetProgress(unsigned position) override;
    void StepProgressBar() override;
    void SetLogText(const char* text) override;
    int LogLineCount() override;
    void ScrollLog(int lines) override;
    // No sound player: every sound is refused; stopping always works.
    bool PlaySound(const uint8_t* image, unsigned flags) override;
    void PostCommand(unsigned id) override;
    void SendCommand(unsigned id) override;
    void PostQuit() override;
    void ShowOptionsWindow() override;
    void ShowSamplesWindow() override;
    void SetSampleNumberEdit(uint32_t n) override;
    uint32_t TickCount() override;
    void CreateDirectory(const std::string& path) override;

protected:
    // Runs one command; every posted and sent command passes here.
    virtual void Dispatch(unsigned id);

    std::map<unsigned, bool> menuEnabled;  // by command id, latest state
    unsigned progress = 0;
    std::string paneText;
    int scrolledTo = 0;
    bool quitPosted = false;

private:
    std::deque<unsigned> queue;
};
