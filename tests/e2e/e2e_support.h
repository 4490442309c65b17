// Helpers of the end-to-end driver: checks that end the scenario at the
// first failure, polling, paths and files (e2e_checks.cpp); starting
// voxtrawl.exe and reading its log and menus (e2e_program.cpp); finding its
// windows, answering boxes and dialogs, and working controls (e2e_windows.cpp).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Checks

// Every effect is polled for up to this long; every sent message may take as long.
constexpr DWORD kWaitLimitMs = 10000;
constexpr UINT kSendTimeoutMs = 10000;

// Names the scenario in failure reports and screenshots.
void SetScenario(const std::string& name);
// Reports the failure (with a screenshot), ends the program under test and
// leaves the driver with exit code 1.
[[noreturn]] void Fail(const char* format, ...);
void Check(bool ok, const char* format, ...);
// The process that a failure ends.
void SetProgramUnderTest(HANDLE process);
// Runs `done` every 20 ms until it holds or kWaitLimitMs has passed.
bool Poll(const std::function<bool()>& done);
// As Poll, but fails naming `what` when time runs out.
void WaitUntil(const std::string& what, const std::function<bool()>& done);
// Shows control characters, so that a wrong "\r\n" is visible in reports.
std::string Escaped(const std::string& text);

// ---------------------------------------------------------------------------
// Paths and files

// Read from e2e-paths.txt, which the fixture setup writes beside the driver.
struct TestPaths {
    std::string voxtrawl;     // the program under test
    std::string data;         // crafted ROMs, manifests, reference WAVs
    std::string demoRom;      // the bundled demo ROM
    std::string probe;        // menu_probe.dll
    std::string screenshots;  // Unix directory for screenshots
};
const TestPaths& Paths();

// A fresh directory under the temp directory for one scenario's files.
std::string MakeWorkDir(const std::string& scenario);
// Copies data\<name> into dir and returns the copy's path.
std::string CopyDataFile(const std::string& name, const std::string& dir);
// The file that `voxtrawl-cli rip crafted.sfc --rate <rate>` wrote for sample n.
std::string ReferenceWav(int rate, int n);
bool FileExists(const std::string& path);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
// A key=value of data\<rom>.expect, written with the crafted ROM.
int ExpectedCount(const std::string& rom, const std::string& key);
// Fails unless the file holds exactly the expected bytes.
void ExpectSameBytes(const std::string& actualPath, const std::vector<uint8_t>& expected);
// The directory in which command 1128 writes: the ROM path cut at its first '.'.
std::string SaveEachDirectory(const std::string& romPath);

// Starts /usr/bin/import to capture the screen into <screenshots>/<name>.png.
bool TakeScreenshot(const std::string& name);

// ---------------------------------------------------------------------------
// The program under test

class Program {
public:
    // Starts voxtrawl.exe with this command-line tail (may be empty) and
    // waits for its main window. The log baseline starts empty.
    explicit Program(const std::string& tail);
    ~Program();

    HWND Main() const { return main_; }
    HWND Child(const char* className) const;

    // Commands: Send returns when the command has run; Post is for commands
    // that open a modal box or dialog.
    void Send(unsigned id);
    void Post(unsigned id);
    // One round trip through the program's queue.
    void Sync();

    // The log pane's text, and checks of what the next steps add to it.
    std::string Log() const;
    // Waits until the log is the baseline plus `text`; the result is the new baseline.
    void ExpectLog(const std::string& text);
    // Waits until the log ends with `ending`, then checks the text added since
    // the baseline against a pattern: "{digits}" and "{line}" stand for a
    // number and for the rest of a line.
    void ExpectLogPattern(const std::string& pattern, const std::string& ending);
    // The log has not changed since the baseline.
    void ExpectLogUnchanged();

    // Menu item state read inside the program (GetMenuState flags).
    unsigned MenuState(unsigned id);
    void ExpectMenus(std::initializer_list<unsigned> ids, bool enabled);

    int ProgressPosition() const;

    // Waits for the program to end (after Exit or a close) and returns its exit code.
    int WaitForExit();
    // Waits for the end of a normal exit: exit code 0.
    void ExpectExitCodeZero();

private:
    PROCESS_INFORMATION info_ = {};
    HWND main_ = nullptr;
    HWND log_ = nullptr;
    std::string baseline_;
    uintptr_t probeFunction_ = 0;
    bool exited_ = false;
};

// The path in double quotes.
std::string Quoted(const std::string& path);

// The log texts that most scenarios start with: the welcome text alone, the
// welcome text with the load and rip of a ROM named on the command line, and
// a later load message (`prefix` as Load & Rip builds it for an earlier ROM)
// with the rip that follows it.
void ExpectWelcome(Program& program);
void ExpectStartedWithRom(Program& program, const std::string& path, int samples);
void ExpectLoadAndRip(Program& program, const std::string& path, const std::string& prefix, int samples);

// ---------------------------------------------------------------------------
// Top-level windows of the program

std::string ClassOf(HWND window);
// A visible dialog-class window owned by `owner` with this caption.
HWND FindOwnedDialog(HWND owner, const std::string& caption);
HWND WaitForDialog(HWND owner, const std::string& caption);
void WaitUntilGone(HWND window, const std::string& what);
// Number of visible windows with this caption owned by `owner`.
int CountOwnedDialogs(HWND owner, const std::string& caption);

// Message boxes: the text, the set of visible buttons, and the answer.
std::string BoxText(HWND box);
std::vector<int> BoxButtons(HWND box);
// Waits for the box, checks its text and buttons, and returns it.
HWND ExpectBox(HWND owner, const std::string& caption, const std::string& text, std::initializer_list<int> buttons);
// Clicks the button and waits for the box to close.
void AnswerBox(HWND box, int button);

// File dialogs: types the path and presses OK, leaving the caller to wait
// for the effect (the dialog may stay, for a question of its own).
void ChooseFileInDialog(HWND owner, const std::string& title, const std::string& path);
void CancelFileDialog(HWND owner, const std::string& title);

// Controls of another process's windows.
std::string WindowText(HWND window);
void SetWindowTextTo(HWND window, const std::string& text);
LRESULT SendTo(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
void Click(HWND button);
bool IsChecked(HWND button);
// Presses the up or down arrow of an up-down control once.
void ClickUpDown(HWND upDown, bool up);
