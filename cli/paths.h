// Names the command-line tool derives from the user's paths, and paths as
// it shows them in messages.
#pragma once

#include <string>

#include "engine/log/shown_text.h"

// The folder that rip writes a ROM's numbered files into when no --out is
// given: the ROM's path without its last extension ("Game v1.0.sfc" gives
// "Game v1.0"), or with "_" appended when it has none ("game" gives
// "game_"), so that it never names the ROM itself.
std::string RipFolderFor(const std::string& romPath);
// The folder inside --out for one of several ROMs: the same rule applied
// to the ROM's file name alone.
std::string RipFolderUnder(const std::string& out, const std::string& romPath);

// Whether a file name is one that a rip gives a sample: "12.wav" or
// "12.brr" (a ROM's, decimal from 1) or "1A.wav" or "1A.brr" (an SPC
// directory entry's, two hex digits).
bool IsSampleFileName(const std::string& name);
