// The Options dialog ("OPTIONSDLG"): the minimum run size.
#pragma once

#include "app/win32/win32_api.h"

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
