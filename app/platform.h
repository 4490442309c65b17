// The one seam between the portable program and the window system, the
// sound player, the file dialogs, the clock and the file system's
// directory creation. Two implementations: Win32 (ui/win32) and headless
// (ui/headless), used by the command-line tool and the benchmark; the
// tests drive a recording double derived from the headless one.
#pragma once

#include <cstdint>
#include <string>

// Message-box types and answers, as the window system numbers them.
constexpr unsigned kMbStop = 0x10;             // OK, stop icon
constexpr unsigned kMbRetryCancelStop = 0x15;  // Retry/Cancel, stop icon
constexpr unsigned kMbYesNoExclaim = 0x34;     // Yes/No, exclamation icon
constexpr unsigned kMbInformation = 0x40;      // OK, information icon
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdRetry = 4;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Sound-player flags.
constexpr unsigned kSndAsync = 0x1;
constexpr unsigned kSndNoDefault = 0x2;
constexpr unsigned kSndMemory = 0x4;
constexpr unsigned kSndLoop = 0x8;
constexpr unsigned kSndFilename = 0x20000;
constexpr unsigned kSndStop = kSndFilename | kSndNoDefault;  // with a null sound
constexpr unsigned kSndPlayOnce = kSndAsync | kSndNoDefault | kSndMemory;
constexpr unsigned kSndPlayLooped = kSndPlayOnce | kSndLoop;

class Platform {
public:
    virtual ~Platform() = default;

    // Main menu: enable (true) or gray (false) the item with this command id.
    virtual void EnableMenuCommand(unsigned id, bool enabled) = 0;

    // Progress bar (range 0..100, step 1).
    virtual void SetProgress(unsigned position) = 0;
    virtual void StepProgressBar() = 0;

    // Log pane: replace its whole text, count its display lines, scroll it.
    virtual void SetLogText(const char* text) = 0;
    virtual int LogLineCount() = 0;
    virtual void ScrollLog(int lines) = 0;
    // Whole lines the pane shows at once; the newest ones are kept in view.
    virtual int LogVisibleLines() { return 13; }
    // Called with each text appended to the log, after the pane is refreshed.
    virtual void LogAppended(const char* /*text*/) {}

    // Modal message box; owned = false during start-up (no owner window).
    // Returns the button pressed (kIdOk, kIdRetry, ...), or 0 if none.
    virtual int MessageBox(bool owned, const char* caption, unsigned type, const char* text) = 0;

    // File dialogs. Return false when the user cancels; path receives the choice.
    virtual bool ChooseRomToOpen(std::string& path) = 0;
    virtual bool ChooseWavToSave(const char* title, std::string& path) = 0;

    // Sound player: image is a WAVE image in memory, or null with kSndStop.
    // Returns false when the player refuses the sound.
    virtual bool PlaySound(const uint8_t* image, unsigned flags) = 0;

    // Commands to the main window: posted ones run after the current one,
    // sent ones run to completion before SendCommand returns.
    virtual void PostCommand(unsigned id) = 0;
    virtual void SendCommand(unsigned id) = 0;
    // Ends the message loop (exit code 0).
    virtual void PostQuit() = 0;

    // Modeless windows: bring to front if open, else create.
    virtual void ShowOptionsWindow() = 0;
    virtual void ShowSamplesWindow() = 0;
    // Writes n into the Samples window's number edit (only called while open).
    virtual void SetSampleNumberEdit(uint32_t n) = 0;

    // Milliseconds since some fixed moment, wrapping at 2^32.
    virtual uint32_t TickCount() = 0;
    // Creates one directory; failure (including "exists") is not reported.
    virtual void CreateDirectory(const std::string& path) = 0;
};

// The platform in use; set once by the front end or the test.
Platform& CurrentPlatform();
void SetPlatform(Platform* platform);
