// Loaded into voxtrawl.exe by the end-to-end driver: Wine answers
// GetMenuState only for menus of the calling process, so the driver runs
// ProbeMenuState in a remote thread and reads the state from its exit code.
#include <windows.h>

namespace {

struct MainWindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<MainWindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (pid != search->processId || lstrcmpA(className, "Quaver Gizmo Class") != 0) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

// The GetMenuState flags of the main menu's item `id`; 0xFFFFFFFF when the
// item does not exist, 0xFFFFFFFE when the main window is not found.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeMenuState(LPVOID id) {
    MainWindowSearch search{GetCurrentProcessId(), nullptr};
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return 0xFFFFFFFEu;
    return GetMenuState(GetMenu(search.found), static_cast<UINT>(reinterpret_cast<UINT_PTR>(id)), MF_BYCOMMAND);
}
