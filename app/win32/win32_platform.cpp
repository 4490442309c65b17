#include "app/win32/win32_platform.h"

#include "app/res/resource.h"
#include "app/log.h"
#include "app/win32/options_dialog.h"
#include "app/win32/samples_window.h"

namespace {

constexpr DWORD kOpenFlags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;                  // 0x1800
constexpr DWORD kSaveFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;  // 0x806
constexpr DWORD kPathBufferSize = 260;

HWND MainWindow() { return AsWindow(app.mainWindow); }

// Both file dialogs share everything but filter, title, flags and extension.
bool RunFileDialog(bool save, const char* filter, const char* title, DWORD flags, const char* defaultExt,
                   std::string& path) {
    char file[kPathBufferSize] = "";
    OPENFILENAMEA ofn = {};
    // The older, shorter record: Windows 95 and NT 4 refuse the longer one.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = MainWindow();
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = kPathBufferSize;
    ofn.lpstrInitialDir = ".";
    ofn.lpstrTitle = title;
    ofn.Flags = flags;
    ofn.lpstrDefExt = defaultExt;
    BOOL chosen = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (!chosen) return false;
    path = file;
    return true;
}

// One modeless window at a time: a second request only brings it forward.
void ShowModeless(Handle& window, const char* templateName, DLGPROC procedure) {
    if (window) {
        SetForegroundWindow(AsWindow(window));
        return;
    }
    window = CreateDialogParamA(AsInstance(app.instance), templateName, MainWindow(), procedure, 0);
}

}  // namespace

Win32Platform::Win32Platform() { InstallLogPane(); }

void Win32Platform::EnableMenuCommand(unsigned id, bool enabled) {
    if (!app.mainWindow) return;
    EnableMenuItem(GetMenu(MainWindow()), id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
}

void Win32Platform::SetProgress(unsigned position) {
    SendMessageA(AsWindow(app.progressWindow), PBM_SETPOS, position, 0);
}

void Win32Platform::StepProgressBar() { SendMessageA(AsWindow(app.progressWindow), PBM_STEPIT, 0, 0); }

void Win32Platform::SetLogText(const char* text) {
    SendMessageA(AsWindow(app.logWindow), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

int Win32Platform::LogLineCount() {
    return static_cast<int>(SendMessageA(AsWindow(app.logWindow), EM_GETLINECOUNT, 0, 0));
}

void Win32Platform::ScrollLog(int lines) { SendMessageA(AsWindow(app.logWindow), EM_LINESCROLL, 0, lines); }

int Win32Platform::LogVisibleLines() {
    // Measured, because the log font leaves room for fewer than the nominal 13 lines.
    constexpr int kNominalLines = 13;
    HWND pane = AsWindow(app.logWindow);
    if (!pane) return kNominalLines;
    RECT format{};
    SendMessageA(pane, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    HDC dc = GetDC(pane);
    HGDIOBJ previous = SelectObject(dc, static_cast<HGDIOBJ>(app.logFont));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(pane, dc);
    if (metrics.tmHeight <= 0) return kNominalLines;
    int lines = (format.bottom - format.top) / metrics.tmHeight;
    return lines > 0 ? lines : 1;
}

int Win32Platform::MessageBox(bool owned, const char* caption, unsigned type, const char* text) {
    return MessageBoxA(owned ? MainWindow() : nullptr, text, caption, type);
}

bool Win32Platform::ChooseRomToOpen(std::string& path) {
    static const char kFilter[] =
        "SNES ROMs (*.SFC;*.SMC;*.SWC)\0*.SFC;*.SMC;*.SWC\0"
        "All Files (*.*)\0*.*\0";
    return RunFileDialog(false, kFilter, "Open a Damn File!", kOpenFlags, "TXT", path);
}

bool Win32Platform::ChooseWavToSave(const char* title, std::string& path) {
    static const char kFilter[] = "All Files (*.*)\0*.*\0";
    return RunFileDialog(true, kFilter, title, kSaveFlags, "wav", path);
}

bool Win32Platform::PlaySound(const uint8_t* image, unsigned flags) {
    return PlaySoundA(reinterpret_cast<LPCSTR>(image), nullptr, flags) != FALSE;
}

void Win32Platform::PostCommand(unsigned id) { PostMessageA(MainWindow(), WM_COMMAND, id, 0); }

void Win32Platform::SendCommand(unsigned id) { SendMessageA(MainWindow(), WM_COMMAND, id, 0); }

void Win32Platform::PostQuit() { PostQuitMessage(0); }

void Win32Platform::ShowOptionsWindow() { ShowModeless(app.optionsWindow, "OPTIONSDLG", OptionsDialogProc); }

void Win32Platform::ShowSamplesWindow() { ShowModeless(app.samplesWindow, "SAMPLESDLG", SamplesWindowProc); }

void Win32Platform::SetSampleNumberEdit(uint32_t n) {
    SetDlgItemInt(AsWindow(app.samplesWindow), IDC_SMP_NUMBER_EDIT, n, FALSE);
}

uint32_t Win32Platform::TickCount() { return GetTickCount(); }

void Win32Platform::CreateDirectory(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }
