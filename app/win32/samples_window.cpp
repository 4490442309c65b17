#include "app/win32/samples_window.h"

#include "app/app_state.h"
#include "app/res/resource.h"
#include "app/dialog_logic.h"

namespace {

// UDS_NOTHOUSANDS: a "1,067" in the edit would read back as 0.
constexpr DWORD kUpDownStyle =
    WS_CHILD | WS_VISIBLE | WS_BORDER | UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_NOTHOUSANDS;
// The arrows cover the whole table, not only the samples found so far.
constexpr int kLowestNumber = 1;
constexpr int kHighestNumber = static_cast<int>(kMaxSamples);

// Holds the number edit while the window is open, so that a repeated
// WM_INITDIALOG leaves the open window as it is.
HWND initialisedMarker = nullptr;

void Close(HWND dialog) {
    initialisedMarker = nullptr;
    app.samplesWindow = nullptr;
    // Destroyed, not hidden: the next command builds a window from the
    // settings of that moment.
    DestroyWindow(dialog);
}

void Initialise(HWND dialog) {
    initialisedMarker = GetDlgItem(dialog, IDC_SMP_NUMBER_EDIT);
    CreateUpDownControl(kUpDownStyle, 10, 10, 50, 50, dialog, IDC_SMP_UPDOWN, AsInstance(app.instance),
                        initialisedMarker, kHighestNumber, kLowestNumber, static_cast<int>(app.currentSample));
    SendDlgItemMessageA(dialog, IDC_SMP_RATE_FIRST + RateRadioIndex(app.frequency), BM_SETCHECK, BST_CHECKED, 0);
    SendDlgItemMessageA(dialog, IDC_SMP_LOOP_CHECK, BM_SETCHECK, app.loopPlayback, 0);
}

void Command(HWND dialog, unsigned id) {
    if (id == IDOK || id == IDCANCEL) {
        Close(dialog);
    } else if (id == IDC_SMP_LOOP_CHECK) {
        SamplesSetLoop(SendDlgItemMessageA(dialog, IDC_SMP_LOOP_CHECK, BM_GETCHECK, 0, 0) == BST_CHECKED);
    } else if (id == IDC_SMP_JUMP) {
        SamplesJump(static_cast<int>(GetDlgItemInt(dialog, IDC_SMP_NUMBER_EDIT, nullptr, TRUE)));
    } else if (id >= IDC_SMP_RATE_FIRST && id <= IDC_SMP_RATE_LAST) {
        SamplesSelectRate(id - IDC_SMP_RATE_FIRST);
    }
}

}  // namespace

INT_PTR CALLBACK SamplesWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        if (!initialisedMarker) Initialise(dialog);
        return TRUE;
    case WM_COMMAND:
        Command(dialog, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}
