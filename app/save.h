// Saving samples as WAVE files.
#pragma once

#include <cstdint>
#include <string>

// What a save did, for a front end that decides by it rather than by the
// log or the boxes.
struct SaveResult {
    bool refused = false;    // nothing to save (no ROM, no samples)
    bool cancelled = false;  // the user gave up in the dialog or the Retry box
    unsigned filesWritten = 0;
    int error = 0;           // errno of the failure that ended the save
    std::string failedPath;  // the file, or the folder, that failed

    bool Ok() const { return !refused && !cancelled && error == 0; }
};

// Saves slot currentSample - 1 to a file chosen in the save dialog.
SaveResult SaveCurrentSample();
// Command: guards, then SaveAllSamplesOneFile.
SaveResult SaveAllCommand();
// Saves every sample back to back behind one header, to a chosen file.
SaveResult SaveAllSamplesOneFile();
// Saves every sample as <dir>/<n>.wav in a directory named after the ROM.
SaveResult SaveEachSample();
// The same into a directory of the caller's choice.
SaveResult SaveEachSampleInto(const std::string& directory);
// The directory that SaveEachSample writes into for this ROM path.
std::string SaveDirectoryFor(const std::string& romPath);
