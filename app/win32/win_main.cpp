// Entry point: builds the main window, runs the message loop (which also
// runs a pending rip from idle time) and releases everything at exit.
#include "engine/scan/scanner.h"
#include "app/scan_loop.h"
#include "app/playback.h"
#include "app/res/resource.h"
#include "app/about_help.h"
#include "app/log.h"
#include "app/command_line.h"
#include "app/win32/main_window.h"
#include "app/win32/toolbar_buttons.h"
#include "app/win32/win32_platform.h"

namespace {

constexpr char kClassName[] = "Quaver Gizmo Class";
constexpr char kFatalCaption[] = "Big Fat Error";
constexpr char kWelcome[] = "Welcome to VOXTRAWL!\r\nComments/bugs/etc. to voxtrawl@example.org\r\n\r\n";

// Fixed, non-resizable main window.
constexpr DWORD kMainStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // 0x00CA0000
constexpr DWORD kMainExStyle = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;     // 0x300
constexpr int kMainWidth = 300;
constexpr int kMainClientHeight = 279;  // plus caption and menu bar

constexpr DWORD kToolbarStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | TBSTYLE_TOOLTIPS;  // 0x50800100
constexpr int kToolbarImages = 15;
constexpr int kGlyphSize = 16;

constexpr DWORD kProgressStyle = WS_CHILD | WS_VISIBLE | WS_BORDER;  // 0x50800000
constexpr DWORD kLogStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE |
                            ES_AUTOVSCROLL | ES_READONLY | ES_WANTRETURN;  // 0x50A11844

enum StartResult { kStarted = -1, kQuietExit = 0, kFailedExit = 1 };

HFONT CreateLogFont() {
    return CreateFontA(19, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_ROMAN, "MS Sans Serif");
}

bool RegisterMainClass(HINSTANCE instance) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "MAINICON");
    wc.hIconSm = LoadIconA(instance, "MAINICON");
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = kClassName;
    return RegisterClassExA(&wc) != 0;
}

HWND CreateMainWindow(HINSTANCE instance) {
    int height = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYMENU) + kMainClientHeight;
    return CreateWindowExA(kMainExStyle, kClassName, kVersionString, kMainStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                           kMainWidth, height, nullptr, nullptr, instance, nullptr);
}

HWND CreateToolbar(HWND main, HINSTANCE instance) {
    TBBUTTON buttons[kToolbarButtonCount];
    BuildToolbarButtons(buttons);
    return CreateToolbarEx(main, kToolbarStyle, IDC_TOOLBAR, kToolbarImages, instance, IDB_TOOLBAR, buttons,
                           kToolbarButtonCount, 0, 0, kGlyphSize, kGlyphSize, sizeof(TBBUTTON));
}

HWND CreateProgressBar(HWND main, HINSTANCE instance) {
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "Percentage", kProgressStyle, 3, 249, 287, 20, main, nullptr,
                               instance, nullptr);
    if (bar) {
        SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendMessageA(bar, PBM_SETSTEP, 1, 0);
    }
    return bar;
}

HWND CreateLogPane(HWND main, HINSTANCE instance) {
    HWND pane = CreateWindowExA(0, "EDIT", "", kLogStyle, 4, 32, 286, 218, main, nullptr, instance, nullptr);
    if (pane) SendMessageA(pane, WM_SETFONT, reinterpret_cast<WPARAM>(app.logFont), FALSE);
    return pane;
}

int Fail(const char* text, int exitCode) {
    ShowMessage(false, kFatalCaption, kMbStop, "%s", text);
    return exitCode;
}

// Builds every window; kStarted when all is ready, else the exit code.
int StartUp(HINSTANCE instance) {
    app.instance = instance;
    InitCommonControls();
    app.logFont = CreateLogFont();
    if (!RegisterMainClass(instance)) return kQuietExit;

    HWND main = CreateMainWindow(instance);
    app.mainWindow = main;
    if (!main) return Fail("Can't create window...out of memory?", kFailedExit);

    app.toolbarWindow = CreateToolbar(main, instance);
    if (!app.toolbarWindow) return Fail("Can't create toolbar...out of memory?", kFailedExit);

    if (!LoadMainMenu()) return Fail("Can't create menu...out of memory?  Corrupt exe?", kQuietExit);

    app.progressWindow = CreateProgressBar(main, instance);
    if (!app.progressWindow) return Fail("Can't create progress bar...out of memory?", kFailedExit);

    app.logWindow = CreateLogPane(main, instance);
    if (!app.logWindow) return Fail("Can't create edit box...out of memory?", kFailedExit);

    LogAppend(kWelcome);
    return kStarted;
}

// A path on the command line is loaded and ripped as if chosen from the menu.
void QueueCommandLineLoad() {
    std::string tail = CommandLineTail(GetCommandLineA());
    if (tail.empty()) return;
    app.cmdlinePath = RomPathFromTail(tail);
    PostMessageA(AsWindow(app.mainWindow), WM_COMMAND, IDM_LOAD_AND_RIP, 0);
    app.cmdlineLoad = 1;
}

// Handles one message; false on WM_QUIT.
bool Dispatch(MSG& msg, HACCEL accelerators) {
    if (app.optionsWindow && IsDialogMessageA(AsWindow(app.optionsWindow), &msg)) return true;
    if (app.samplesWindow && IsDialogMessageA(AsWindow(app.samplesWindow), &msg)) return true;
    if (msg.message == WM_QUIT) return false;
    if (TranslateAcceleratorA(AsWindow(app.mainWindow), accelerators, &msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

// Runs until WM_QUIT and returns its code. A pending rip runs once the
// queue is empty; with nothing to do the loop sleeps until a message comes.
int RunMessageLoop(HACCEL accelerators) {
    MSG msg;
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!Dispatch(msg, accelerators)) return static_cast<int>(msg.wParam);
        } else if (app.ripPending) {
            ScanRom();
        } else {
            WaitMessage();
        }
    }
}

void ShutDown() {
    FreeAll();
    DestroyMainMenu();
    DestroyWindow(AsWindow(app.progressWindow));
    // Stops the sound before its buffer goes.
    ReleasePlayBuffer();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    static Win32Platform platform;
    SetPlatform(&platform);

    int started = StartUp(instance);
    if (started != kStarted) return started;

    HACCEL accelerators = LoadAcceleratorsA(instance, "MYMENU");
    ShowWindow(AsWindow(app.mainWindow), showCommand);
    UpdateWindow(AsWindow(app.mainWindow));
    QueueCommandLineLoad();
    DisableRomCommands();

    int exitCode = RunMessageLoop(accelerators);
    ShutDown();
    return exitCode;
}
