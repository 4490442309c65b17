#include "app/command_line.h"

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}

std::string CommandLineTail(const char* commandLine) {
    const char* p = commandLine ? commandLine : "";
    while (IsBlank(*p)) ++p;
    if (*p == '"') {
        // A quoted program name ends at the closing quote (or a tab).
        ++p;
        while (*p && *p != '"' && *p != '\t') ++p;
        if (*p) ++p;
    } else {
        while (*p && !IsBlank(*p)) ++p;
    }
    while (IsBlank(*p)) ++p;
    return p;
}

std::string RomPathFromTail(const std::string& tail) {
    if (tail.size() >= 2 && tail.front() == '"' && tail.back() == '"')
        return tail.substr(1, tail.size() - 2);
    return tail;
}
