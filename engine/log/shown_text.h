// Text from outside (file names above all) as messages show it.
#pragma once

#include <string>

// The text with control characters written as escapes (\n, \t, \x1B ...),
// so that a file name cannot move the cursor or fake a line of output.
std::string ShownText(const std::string& text);
// ShownText in single quotes, for a path inside a message.
std::string Quoted(const std::string& path);
