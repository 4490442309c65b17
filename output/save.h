// Saving samples as WAVE files.
#pragma once

#include <string>

// Saves slot currentSample - 1 to a file chosen in the save dialog.
void SaveCurrentSample();
// Command: guards, then SaveAllSamplesOneFile.
void SaveAllCommand();
// Saves every sample back to back behind one header, to a chosen file.
void SaveAllSamplesOneFile();
// Saves every sample as <dir>/<n>.wav in a directory named after the ROM.
void SaveEachSample();
// The same into a directory of the caller's choice.
void SaveEachSampleInto(const std::string& directory);

// The directory that SaveEachSample writes into for this ROM path.
std::string SaveDirectoryFor(const std::string& romPath);
