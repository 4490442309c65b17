// Names derived from paths, by the system's folder separators.
#pragma once

#include <string>

// The name after the last folder separator.
std::string FileName(const std::string& path);
// That name without its extension (a name such as ".hidden" keeps its dot,
// and so do "." and "..").
std::string FileStem(const std::string& path);
// The path of name inside folder.
std::string InFolder(const std::string& folder, const std::string& name);
