#include "engine/files/path_names.h"

namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "\\/";
#else
constexpr const char* kSeparators = "/";
#endif

}  // namespace

std::string FileName(const std::string& path) {
    size_t slash = path.find_last_of(kSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FileStem(const std::string& path) {
    std::string name = FileName(path);
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0 || name == "..") return name;
    return name.substr(0, dot);
}

std::string InFolder(const std::string& folder, const std::string& name) {
    if (!folder.empty() && std::string(kSeparators).find(folder.back()) != std::string::npos) return folder + name;
    return folder + kSeparators[0] + name;
}
