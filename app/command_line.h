// What the program takes from its own command line.
#pragma once

#include <string>

// The text after the program name, leading blanks and tabs skipped.
std::string CommandLineTail(const char* commandLine);
// A tail wrapped in one pair of double quotes (a path with blanks, as a
// shell passes it) loses that pair; anything else is kept as it is.
std::string RomPathFromTail(const std::string& tail);
