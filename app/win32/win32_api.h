// <windows.h> for the Win32 front end, without the A/W name macros that
// would rename the Platform members MessageBox, PlaySound and
// CreateDirectory.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>

#undef MessageBox
#undef PlaySound
#undef CreateDirectory

#include "app/app_state.h"

// AppState keeps window-system handles opaque; these give them back their types.
inline HWND AsWindow(Handle handle) { return static_cast<HWND>(handle); }
inline HMENU AsMenu(Handle handle) { return static_cast<HMENU>(handle); }
inline HINSTANCE AsInstance(Handle handle) { return static_cast<HINSTANCE>(handle); }
inline HFONT AsFont(Handle handle) { return static_cast<HFONT>(handle); }
