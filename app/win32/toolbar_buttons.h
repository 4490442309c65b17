// The toolbar's button records.
#pragma once

#include "app/win32/win32_api.h"

constexpr int kToolbarButtonCount = 15;

// Eight separators, then the seven command buttons in bitmap order.
void BuildToolbarButtons(TBBUTTON (&buttons)[kToolbarButtonCount]);
