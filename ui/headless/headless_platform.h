// A platform without windows: keeps the command queue and runs the pending
// rip as the window's message loop does, records every call, and answers
// message boxes and dialogs from a script.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "core/platform.h"

class HeadlessPlatform : public Platform {
public:
    struct Box {
        bool owned;
        std::string caption;
        unsigned type;
        std::string text;
    };
    struct Sound {
        bool stop;            // a stop call (null sound)
        unsigned flags;
        std::vector<uint8_t> image;  // copy of the WAVE image handed over
    };

    // Scripted answers, taken in order. With none left, boxes answer
    // defaultAnswer and dialogs answer Cancel.
    std::deque<int> boxAnswers;
    std::deque<std::string> openPaths;  // "" answers Cancel
    std::deque<std::string> savePaths;  // "" answers Cancel
    int defaultAnswer = kIdCancel;
    bool soundFails = false;

    // What happened.
    std::map<unsigned, bool> menuEnabled;  // by command id, latest state
    std::vector<std::pair<unsigned, bool>> menuCalls;
    unsigned progress = 0;
    std::vector<unsigned> progressHistory;  // position after each call
    std::string paneText;
    int scrolledTo = 0;
    std::vector<Box> boxes;
    std::vector<std::string> saveTitles;
    int openDialogs = 0;
    std::vector<Sound> sounds;
    std::vector<unsigned> commandsRun;  // every command, in the order run
    std::vector<uint32_t> sampleNumberEdits;
    std::vector<std::string> directoriesCreated;
    bool quitPosted = false;
    int optionsWindowShown = 0;
    int samplesWindowShown = 0;
    uint32_t tick = 1000;
    uint32_t tickStep = 0;  // added on every TickCount call

    // The message loop: runs queued commands, and the pending rip whenever
    // the queue is empty, until there is nothing left to do or Exit.
    void RunUntilIdle();
    // Posts a command and runs the loop.
    void Run(unsigned id);
    bool QueueEmpty() const { return queue.empty(); }

    void EnableMenuCommand(unsigned id, bool enabled) override;
    void SetProgress(unsigned position) override;
    void StepProgressBar() override;
    void SetLogText(const char* text) override;
    int LogLineCount() override;
    void ScrollLog(int lines) override;
    int MessageBox(bool owned, const char* caption, unsigned type, const char* text) override;
    bool ChooseRomToOpen(std::string& path) override;
    bool ChooseWavToSave(const char* title, std::string& path) override;
    bool PlaySound(const uint8_t* image, unsigned flags) override;
    void PostCommand(unsigned id) override;
    void SendCommand(unsigned id) override;
    void PostQuit() override;
    void ShowOptionsWindow() override;
    void ShowSamplesWindow() override;
    void SetSampleNumberEdit(uint32_t n) override;
    uint32_t TickCount() override;
    void CreateDirectory(const std::string& path) override;

private:
    std::deque<unsigned> queue;
};
