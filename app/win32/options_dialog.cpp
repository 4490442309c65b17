#include "app/win32/options_dialog.h"

#include "app/res/resource.h"
#include "app/dialog_logic.h"

namespace {

// UDS_NOTHOUSANDS: a "1,067" in the edit would read back as 0.
constexpr DWORD kUpDownStyle =
    WS_CHILD | WS_VISIBLE | WS_BORDER | UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_NOTHOUSANDS;
constexpr int kMinRunLowest = 1;
constexpr int kMinRunHighest = 32767;

// Holds the value edit while the dialog is open, so that a repeated
// WM_INITDIALOG leaves the open dialog as it is.
HWND initialisedMarker = nullptr;
HWND upDown = nullptr;

void EnableApply(HWND dialog, bool enabled) { EnableWindow(GetDlgItem(dialog, IDC_OPT_APPLY), enabled); }

void StoreValue(HWND dialog) {
    OptionsStoreMinRun(static_cast<int>(GetDlgItemInt(dialog, IDC_OPT_VALUE_EDIT, nullptr, TRUE)));
}

void Close(HWND dialog) {
    initialisedMarker = nullptr;
    upDown = nullptr;
    app.optionsWindow = nullptr;
    // Destroyed, not hidden: the next Options command builds a fresh dialog.
    DestroyWindow(dialog);
}

void Initialise(HWND dialog) {
    EnableApply(dialog, false);
    initialisedMarker = GetDlgItem(dialog, IDC_OPT_VALUE_EDIT);
    upDown = CreateUpDownControl(kUpDownStyle, 10, 10, 50, 50, dialog, IDC_OPT_UPDOWN, AsInstance(app.instance),
                                 initialisedMarker, kMinRunHighest, kMinRunLowest, app.minRunBytes);
}

void Command(HWND dialog, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDOK:
        StoreValue(dialog);
        Close(dialog);
        break;
    case IDCANCEL:
        Close(dialog);
        break;
    case IDC_OPT_APPLY:
        EnableApply(dialog, false);
        StoreValue(dialog);
        break;
    default:
        if (upDown && reinterpret_cast<HWND>(lParam) == upDown) EnableApply(dialog, true);
        break;
    }
}

}  // namespace

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        if (!initialisedMarker) Initialise(dialog);
        return TRUE;
    case WM_COMMAND:
        Command(dialog, wParam, lParam);
        return TRUE;
    case WM_VSCROLL:
        // Only the arrows make the edit's value worth applying.
        if (upDown && reinterpret_cast<HWND>(lParam) == upDown) EnableApply(dialog, true);
        return TRUE;
    default:
        return FALSE;
    }
}
