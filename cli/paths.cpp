#include "cli/paths.h"

#include <filesystem>

#include "cli/native_path.h"
#include "engine/files/file_system.h"

namespace fs = std::filesystem;

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
