#include "cli/native_path.h"

#include <windows.h>

namespace {

std::wstring Widened(UINT codePage, const std::string& text) {
    if (text.empty()) return std::wstring();
    int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string Narrowed(UINT codePage, const std::wstring& wide) {
    if (wide.empty()) return std::string();
    int length =
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(length, '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &text[0], length, nullptr, nullptr);
    return text;
}

}  // namespace

std::filesystem::path PathFromNative(const std::string& path) { return std::filesystem::path(Widened(CP_ACP, path)); }

std::string NativeFromPath(const std::filesystem::path& path) { return Narrowed(CP_ACP, path.wstring()); }

std::string NativeToUtf8(const std::string& path) { return Narrowed(CP_UTF8, Widened(CP_ACP, path)); }
