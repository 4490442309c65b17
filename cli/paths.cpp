#include "cli/paths.h"

#include <cstdio>
#include <filesystem>

#include "cli/native_path.h"
#include "engine/files/file_system.h"

namespace fs = std::filesystem;

std::string ShownText(const std::string& text) {
    std::string shown;
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            shown += c;
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\t') {
            shown += "\\t";
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            shown += escape;
        }
    }
    return shown;
}

std::string Quoted(const std::string& path) { return "'" + ShownText(path) + "'"; }

std::string RipFolderFor(const std::string& romPath) {
    fs::path path = PathFromNative(romPath);
    // A name such as ".hidden" has no extension: it gets the "_" too.
    if (!path.has_filename() || path.extension().empty()) return romPath + "_";
    return NativeFromPath(path.replace_extension());
}

std::string RipFolderUnder(const std::string& out, const std::string& romPath) {
    std::string romName = NativeFromPath(PathFromNative(romPath).filename());
    return NativeFromPath(PathFromNative(out) / PathFromNative(RipFolderFor(romName)));
}

bool IsSampleFileName(const std::string& name) {
    if (name.size() < 5) return false;
    std::string extension = name.substr(name.size() - 4);
    if (extension != ".wav" && extension != ".brr") return false;
    std::string stem = name.substr(0, name.size() - 4);
    bool decimal = stem.size() <= 9 && stem[0] != '0' && stem.find_first_not_of("0123456789") == std::string::npos;
    bool hex = stem.size() == 2 && stem.find_first_not_of("0123456789ABCDEF") == std::string::npos;
    return decimal || hex;
}
