#include "output/save.h"

#include <cstdio>
#include <string>

#include "core/app_state.h"
#include "core/platform.h"
#include "output/wav_file.h"
#include "output/wav_header.h"
#include "ui/log.h"

namespace {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Number of samples in the table, counted up to its first empty slot.
unsigned ListedSamples() {
    unsigned n = 0;
    while (n < kMaxSamples && app.sampleData[n]) ++n;
    return n;
}

// Writes one WAVE file: header, then the given samples back to back.
// A file that cannot be written whole is removed and false returned.
bool WriteWav(std::FILE* file, const std::string& path, unsigned first, unsigned count) {
    uint32_t total = 0;
    for (unsigned i = first; i < first + count; ++i) total += app.sampleBytes[i];
    bool ok = WriteAll(file, BuildWavHeader(total, app.frequency), kWavHeaderSize);
    for (unsigned i = first; ok && i < first + count; ++i) ok = WriteAll(file, app.sampleData[i], app.sampleBytes[i]);
    ok = CloseWritten(file) && ok;
    if (!ok) {
        RemoveIncompleteFile(path);
        LogPrint("\r\nCan't write file %s.", path.c_str());
    }
    return ok;
}

// Asks for a path and opens it, offering Retry while it cannot be opened.
std::FILE* ChooseAndOpen(std::string& path) {
    char title[kMessageBufferSize];
    std::snprintf(title, sizeof title, "Save Sample %d As %dhz .Wav File", static_cast<int>(app.currentSample),
                  static_cast<int>(app.frequency));
    if (!CurrentPlatform().ChooseWavToSave(title, path)) {
        LogPrint("\r\nCancelled save.");
        return nullptr;
    }
    for (;;) {
        std::FILE* file = OpenForWrite(path);
        if (file) return file;
        if (ShowMessage(true, "Couldn't Open File", kMbRetryCancelStop, "Unable to open file for writing.") != kIdRetry)
            return nullptr;
    }
}

// Saves samples first .. first + count - 1 into one file chosen by the user.
void SaveThroughDialog(unsigned first, unsigned count) {
    std::string path;
    std::FILE* file = ChooseAndOpen(path);
    if (file && WriteWav(file, path, first, count)) LogPrint("\r\nSaved %s.", path.c_str());
}

}  // namespace

std::string SaveDirectoryFor(const std::string& romPath) {
    // Only the file name is cut, so a '.' in a parent directory's name is kept.
    size_t nameStart = romPath.find_last_of("\\/");
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    size_t dot = romPath.find('.', nameStart);
    if (dot == std::string::npos || dot == nameStart) return romPath + "_";
    return romPath.substr(0, dot);
}

void SaveCurrentSample() { SaveThroughDialog(app.currentSample - 1, 1); }

void SaveAllCommand() {
    if (!app.romData) {
        LogPrint("\r\nYou have to load a ROM first.");
        return;
    }
    if (!app.sampleData[0]) {
        LogPrint("\r\nNo samples to save.");
        return;
    }
    ResetProgress();
    SaveAllSamplesOneFile();
}

void SaveAllSamplesOneFile() { SaveThroughDialog(0, ListedSamples()); }

void SaveEachSample() {
    if (!app.sampleData[0]) {
        LogPrint("\r\n\r\nYou have to load a rom, then choose \"Rip to Pieces\" before you can select this.");
        return;
    }
    SaveEachSampleInto(SaveDirectoryFor(app.romPath));
}

void SaveEachSampleInto(const std::string& directory) {
    if (!app.sampleData[0]) {
        LogPrint("\r\n\r\nYou have to load a rom, then choose \"Rip to Pieces\" before you can select this.");
        return;
    }
    unsigned written = 0;
    unsigned listed = ListedSamples();
    for (unsigned i = 0; i < listed; ++i) {
        // Before every file, so a folder removed while saving comes back.
        CurrentPlatform().CreateDirectory(directory);
        std::string path = directory + kPathSeparator + std::to_string(i + 1) + ".wav";
        std::FILE* file = OpenForWrite(path);
        if (!file) {
            LogPrint("\r\nCan't write file %s.", path.c_str());
            break;
        }
        if (!WriteWav(file, path, i, 1)) break;
        written = i + 1;
    }
    LogPrint("\r\nWrote %d .wav files in directory %s at frequency %d.", static_cast<int>(written),
             directory.c_str(), static_cast<int>(app.frequency));
}
