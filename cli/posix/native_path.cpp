#include "cli/native_path.h"

// Narrow paths are already what std::filesystem and JSON expect.
std::filesystem::path PathFromNative(const std::string& path) { return std::filesystem::path(path); }

std::string NativeFromPath(const std::filesystem::path& path) { return path.string(); }

std::string NativeToUtf8(const std::string& path) { return path; }
