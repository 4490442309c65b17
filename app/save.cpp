#include "app/save.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "app/app_state.h"
#include "engine/files/file_system.h"
#include "app/platform.h"
#include "engine/files/whole_file.h"
#include "engine/formats/wav_header.h"
#include "engine/log/log_sink.h"

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

// Writes the header and the given samples back to back. The header's size
// wraps at 32 bits, as the format's field does.
bool WriteSamples(OutputFile& file, unsigned first, unsigned count) {
    uint32_t total = 0;
    for (unsigned i = first; i < first + count; ++i) total += app.sampleBytes[i];
    bool ok = WriteOutput(file, BuildWavHeader(total, app.frequency).data(), kWavHeaderSize);
    for (unsigned i = first; ok && i < first + count; ++i) ok = WriteOutput(file, app.sampleData[i], app.sampleBytes[i]);
    return ok;
}

// Writes one WAVE file whole, or leaves the target as it was and logs why
// not. Returns 0 or the errno of the failure.
int WriteWav(OutputFile& file, unsigned first, unsigned count) {
    int error = WriteSamples(file, first, count) ? FinishOutput(file) : file.error;
    if (error) {
        AbandonOutput(file);
        LogPrint("\r\nCan't write file %s.", file.target.c_str());
    }
    return error;
}

// Asks for a path and opens it, offering Retry while it cannot be opened.
bool ChooseAndOpen(OutputFile& file, SaveResult& result) {
    char title[kMessageBufferSize];
    std::snprintf(title, sizeof title, "Save Sample %d As %dhz .Wav File", static_cast<int>(app.currentSample),
                  static_cast<int>(app.frequency));
    std::string path;
    if (!CurrentPlatform().ChooseWavToSave(title, path)) {
        LogPrint("\r\nCancelled save.");
        result.cancelled = true;
        return false;
    }
    for (;;) {
        int error = OpenOutput(path, file);
        if (!error) return true;
        if (ShowMessage(true, "Couldn't Open File", kMbRetryCancelStop, "Unable to open file for writing.") !=
            kIdRetry) {
            result.cancelled = true;
            result.error = error;
            result.failedPath = path;
            return false;
        }
    }
}

// Saves samples first .. first + count - 1 into one file chosen by the user.
SaveResult SaveThroughDialog(unsigned first, unsigned count) {
    SaveResult result;
    OutputFile file;
    if (!ChooseAndOpen(file, result)) return result;
    result.error = WriteWav(file, first, count);
    if (result.error) {
        result.failedPath = file.target;
        return result;
    }
    result.filesWritten = 1;
    LogPrint("\r\nSaved %s.", file.target.c_str());
    return result;
}

SaveResult NothingToSave() {
    SaveResult result;
    result.refused = true;
    return result;
}

// Creates the directory (its result is not examined, as in the window);
// returns 0 when a directory is there afterwards, or why not.
int EnsureDirectory(const std::string& directory) {
    CurrentPlatform().CreateDirectory(directory);
    FileInfo info;
    if (StatFile(directory, info) != 0) {
        // Ask once more to learn why it could not be made.
        int error = MakeDirectory(directory);
        return error ? error : 0;
    }
    return info.kind == FileKind::kDirectory ? 0 : ENOTDIR;
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

SaveResult SaveCurrentSample() { return SaveThroughDialog(app.currentSample - 1, 1); }

SaveResult SaveAllCommand() {
    if (!app.romData) {
        LogPrint("\r\nYou have to load a ROM first.");
        return NothingToSave();
    }
    if (!app.sampleData[0]) {
        LogPrint("\r\nNo samples to save.");
        return NothingToSave();
    }
    ResetProgress();
    return SaveAllSamplesOneFile();
}

SaveResult SaveAllSamplesOneFile() { return SaveThroughDialog(0, ListedSamples()); }

SaveResult SaveEachSample() {
    if (!app.sampleData[0]) {
        LogPrint("\r\n\r\nYou have to load a rom, then choose \"Rip to Pieces\" before you can select this.");
        return NothingToSave();
    }
    return SaveEachSampleInto(SaveDirectoryFor(app.romPath));
}

SaveResult SaveEachSampleInto(const std::string& directory) {
    if (!app.sampleData[0]) {
        LogPrint("\r\n\r\nYou have to load a rom, then choose \"Rip to Pieces\" before you can select this.");
        return NothingToSave();
    }
    SaveResult result;
    unsigned listed = ListedSamples();
    for (unsigned i = 0; i < listed; ++i) {
        // Made again before every file, so a directory removed meanwhile comes back.
        int directoryError = EnsureDirectory(directory);
        std::string path = directory + kPathSeparator + std::to_string(i + 1) + ".wav";
        OutputFile file;
        if (int error = OpenOutput(path, file)) {
            LogPrint("\r\nCan't write file %s.", path.c_str());
            // A missing folder is the cause to name, not the file inside it.
            result.error = directoryError ? directoryError : error;
            result.failedPath = directoryError ? directory : path;
            break;
        }
        if (int error = WriteWav(file, i, 1)) {
            result.error = error;
            result.failedPath = path;
            break;
        }
        result.filesWritten = i + 1;
    }
    LogPrint("\r\nWrote %d .wav files in directory %s at frequency %d.", static_cast<int>(result.filesWritten),
             directory.c_str(), static_cast<int>(app.frequency));
    return result;
}
