// The platform seam implemented with the real window system.
#pragma once

#include "app/platform.h"
#include "app/win32/win32_api.h"

class Win32Platform : public Platform {
public:
    // Makes the log pane the sink of the program's log and boxes.
    Win32Platform();

    void EnableMenuCommand(unsigned id, bool enabled) override;

    void SetProgress(unsigned position) override;
    void StepProgressBar() override;

    void SetLogText(const char* text) override;
    int LogLineCount() override;
    void ScrollLog(int lines) override;
    int LogVisibleLines() override;

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
};
