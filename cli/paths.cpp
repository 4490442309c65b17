#include "cli/paths.h"

#include <filesystem>

#include "cli/native_path.h"
#include "engine/files/path_names.h"

namespace fs = std::filesystem;

std::string RipFolderFor(const std::string& romPath) {
    // A name such as ".hidden" has no extension: it gets the "_" too.
    size_t extension = FileName(romPath).size() - FileStem(romPath).size();
    return extension == 0 ? romPath + "_" : romPath.substr(0, romPath.size() - extension);
}

std::string RipFolderUnder(const std::string& out, const std::string& romPath) {
    std::string romName = FileName(romPath);
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
