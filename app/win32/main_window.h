// The main window's procedure and its menu.
#pragma once

#include "app/win32/win32_api.h"

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Loads "MYMENU", attaches it to the main window and reapplies the
// recorded enabling of the ROM commands; false when either step fails.
bool LoadMainMenu();
void DestroyMainMenu();
