#include "app/win32/toolbar_buttons.h"

#include "app/res/resource.h"

namespace {
// Eight separators keep the buttons clear of the window's left edge.
constexpr int kLeadingSeparators = 8;
constexpr int kCommands[] = {IDT_PLAY, IDT_STOP, IDT_NEXT, IDT_PREV, IDT_FIRST, IDT_UNLOAD, IDT_SAVE_CURRENT};
static_assert(kLeadingSeparators + sizeof(kCommands) / sizeof(kCommands[0]) == kToolbarButtonCount,
              "one record per separator and button");
}  // namespace

void BuildToolbarButtons(TBBUTTON (&buttons)[kToolbarButtonCount]) {
    for (int i = 0; i < kToolbarButtonCount; ++i) {
        TBBUTTON& button = buttons[i];
        button = TBBUTTON{};
        button.fsState = TBSTATE_ENABLED;
        if (i < kLeadingSeparators) {
            button.fsStyle = TBSTYLE_SEP;
        } else {
            button.iBitmap = i - kLeadingSeparators;
            button.idCommand = kCommands[i - kLeadingSeparators];
            button.fsStyle = TBSTYLE_BUTTON;
        }
    }
}
