// The test double: the headless platform's queue and message loop, with
// every call recorded and message boxes, dialogs, the sound player and the
// clock answered from a script.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "app/headless/headless_platform.h"

class RecordingPlatform : public HeadlessPlatform {
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

    // The window's state, open to the tests.
    using HeadlessPlatform::menuEnabled;
    using HeadlessPlatform::paneText;
    using HeadlessPlatform::progress;
    using HeadlessPlatform::quitPosted;
    using HeadlessPlatform::scrolledTo;

    // What happened.
    std::vector<std::pair<unsigned, bool>> menuCalls;
    std::vector<unsigned> progressHistory;  // position after each call
    std::vector<Box> boxes;
    std::vector<std::string> saveTitles;
    int openDialogs = 0;
    std::vector<Sound> sounds;
    std::vector<unsigned> commandsRun;  // every command, in the order run
    std::vector<uint32_t> sampleNumberEdits;
    std::vector<std::string> directoriesCreated;
    int optionsWindowShown = 0;
    int samplesWindowShown = 0;
    uint32_t tick = 1000;
    uint32_t tickStep = 0;  // added on every TickCount call

    void EnableMenuCommand(unsigned id, bool enabled) override;
    void SetProgress(unsigned position) override;
    void StepProgressBar() override;
    int MessageBox(bool owned, const char* caption, unsigned type, const char* text) override;
    bool ChooseRomToOpen(std::string& path) override;
    bool ChooseWavToSave(const char* title, std::string& path) override;
    bool PlaySound(const uint8_t* image, unsigned flags) override;
    void ShowOptionsWindow() override;
    void ShowSamplesWindow() override;
    void SetSampleNumberEdit(uint32_t n) override;
    uint32_t TickCount() override;
    void CreateDirectory(const std::string& path) override;

protected:
    void Dispatch(unsigned id) override;
};
