// Finding the program's windows, answering its boxes and dialogs, and
// working the controls of another process.
#include "e2e_support.h"

#include <commctrl.h>
#include <dlgs.h>

#include <algorithm>

namespace {

constexpr char kDialogClass[] = "#32770";

struct OwnedSearch {
    HWND owner;
    std::string caption;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectOwned(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<OwnedSearch*>(param);
    if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER) != search->owner) return TRUE;
    if (ClassOf(window) != kDialogClass) return TRUE;
    char caption[256] = "";
    GetWindowTextA(window, caption, sizeof caption);
    if (search->caption == caption) search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> OwnedDialogs(HWND owner, const std::string& caption) {
    OwnedSearch search{owner, caption, {}};
    EnumWindows(CollectOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ChildList {
    std::vector<HWND> children;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
    reinterpret_cast<ChildList*>(param)->children.push_back(window);
    return TRUE;
}

std::vector<HWND> Children(HWND parent) {
    ChildList list;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&list));
    return list.children;
}

}  // namespace

std::string ClassOf(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// ---------------------------------------------------------------------------
// Top-level windows

HWND FindOwnedDialog(HWND owner, const std::string& caption) {
    std::vector<HWND> found = OwnedDialogs(owner, caption);
    return found.empty() ? nullptr : found.front();
}

HWND WaitForDialog(HWND owner, const std::string& caption) {
    HWND found = nullptr;
    WaitUntil("the window \"" + caption + "\"", [&] { return (found = FindOwnedDialog(owner, caption)) != nullptr; });
    return found;
}

void WaitUntilGone(HWND window, const std::string& what) {
    WaitUntil(what + " to close", [&] { return !IsWindow(window) || !IsWindowVisible(window); });
}

int CountOwnedDialogs(HWND owner, const std::string& caption) {
    return static_cast<int>(OwnedDialogs(owner, caption).size());
}

std::string BoxText(HWND box) {
    for (HWND child : Children(box)) {
        if (ClassOf(child) != "Static") continue;
        std::string text = WindowText(child);
        if (!text.empty()) return text;
    }
    return "";
}

std::vector<int> BoxButtons(HWND box) {
    std::vector<int> ids;
    for (HWND child : Children(box))
        if (ClassOf(child) == "Button" && IsWindowVisible(child)) ids.push_back(GetDlgCtrlID(child));
    std::sort(ids.begin(), ids.end());
    return ids;
}

HWND ExpectBox(HWND owner, const std::string& caption, const std::string& text, std::initializer_list<int> buttons) {
    HWND box = WaitForDialog(owner, caption);
    std::string actual = BoxText(box);
    Check(actual == text, "box \"%s\" says \"%s\", expected \"%s\"", caption.c_str(), Escaped(actual).c_str(),
          Escaped(text).c_str());
    std::vector<int> expected(buttons);
    std::sort(expected.begin(), expected.end());
    std::vector<int> actualButtons = BoxButtons(box);
    std::string shown;
    for (int id : actualButtons) shown += " " + std::to_string(id);
    Check(actualButtons == expected, "box \"%s\" has the buttons%s", caption.c_str(), shown.c_str());
    return box;
}

void AnswerBox(HWND box, int button) {
    HWND control = GetDlgItem(box, button);
    Check(control != nullptr, "the box has no button %d", button);
    PostMessageA(control, BM_CLICK, 0, 0);
    WaitUntilGone(box, "the box");
}

void ChooseFileInDialog(HWND owner, const std::string& title, const std::string& path) {
    HWND dialog = WaitForDialog(owner, title);
    HWND name = GetDlgItem(dialog, cmb13);
    if (!name) name = GetDlgItem(dialog, edt1);
    Check(name != nullptr, "the file dialog \"%s\" has no file name field", title.c_str());
    SetWindowTextTo(name, path);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

void CancelFileDialog(HWND owner, const std::string& title) {
    HWND dialog = WaitForDialog(owner, title);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    WaitUntilGone(dialog, "the file dialog");
}

// ---------------------------------------------------------------------------
// Controls

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    Check(SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result) != 0,
          "window %p did not answer message 0x%x", static_cast<void*>(window), message);
    return static_cast<LRESULT>(result);
}

std::string WindowText(HWND window) {
    int length = static_cast<int>(SendTo(window, WM_GETTEXTLENGTH));
    std::string text(length + 1, '\0');
    int copied = static_cast<int>(SendTo(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0])));
    text.resize(std::max(0, std::min(copied, length)));
    return text;
}

void SetWindowTextTo(HWND window, const std::string& text) {
    SendTo(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Click(HWND button) {
    Check(button != nullptr, "no such button");
    SendTo(button, BM_CLICK);
}

bool IsChecked(HWND button) { return SendTo(button, BM_GETCHECK) == BST_CHECKED; }

void ClickUpDown(HWND upDown, bool up) {
    Check(upDown != nullptr, "no such up-down control");
    RECT r;
    GetClientRect(upDown, &r);
    LPARAM at = MAKELPARAM((r.right - r.left) / 2, up ? (r.bottom - r.top) / 4 : (r.bottom - r.top) * 3 / 4);
    SendTo(upDown, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendTo(upDown, WM_LBUTTONUP, 0, at);
}
