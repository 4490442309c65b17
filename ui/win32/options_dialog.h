// The Options dialog ("OPTIONSDLG"): the minimum run size.
#pragma once

#include "ui/win32/win32_api.h"

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
