#include "app/win32/main_window.h"

#include "app/res/resource.h"
#include "app/commands.h"

namespace {

// The toolbar forwards its tooltips' text requests here.
void AnswerTooltip(LPARAM lParam) {
    NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->code != TTN_NEEDTEXTA) return;
    if (header->idFrom < IDT_PLAY || header->idFrom > IDT_SAVE_CURRENT) return;
    const char* text = ToolbarTooltip(static_cast<unsigned>(header->idFrom));
    reinterpret_cast<TOOLTIPTEXTA*>(lParam)->lpszText = const_cast<char*>(text);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NOTIFY:
        AnswerTooltip(lParam);
        return 0;
    case WM_COMMAND:
        RunCommand(LOWORD(wParam));
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool LoadMainMenu() {
    HMENU menu = LoadMenuA(AsInstance(app.instance), "MYMENU");
    app.mainMenu = menu;
    if (!menu || !SetMenu(AsWindow(app.mainWindow), menu)) return false;
    // A fresh menu shows the enabling that the program last recorded.
    if (app.romCommandsEnabled)
        EnableRomCommands();
    else
        DisableRomCommands();
    return true;
}

void DestroyMainMenu() { DestroyMenu(AsMenu(app.mainMenu)); }
