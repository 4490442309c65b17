// The Samples window ("SAMPLESDLG"): rate, looping and jump to a sample.
#pragma once

#include "app/win32/win32_api.h"

INT_PTR CALLBACK SamplesWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
