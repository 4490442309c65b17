// Paths as the command line gave them (the system's narrow encoding: UTF-8
// on Linux, the ANSI code page on Windows) to and from std::filesystem, and
// as UTF-8 text for JSON and HTML. On Windows the standard library would
// convert a narrow path byte by byte, so that "Kirby’s Demo.sfc" (byte 0x92)
// would name another file. One implementation per system:
// cli/posix/native_path.cpp and cli/win32/native_path.cpp.
#pragma once

#include <filesystem>
#include <string>

std::filesystem::path PathFromNative(const std::string& path);
std::string NativeFromPath(const std::filesystem::path& path);
// The path as UTF-8 text.
std::string NativeToUtf8(const std::string& path);
