#include "app/rom_loader.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "engine/files/file_system.h"
#include "app/memory.h"
#include "app/platform.h"
#include "app/res/resource.h"
#include "engine/log/log_sink.h"

namespace {

// The loader counts bytes in a signed 32-bit number.
constexpr uintmax_t kMaxRomBytes = 0x7FFFFFFF;

// Picks the path to load: the command line's, or the user's choice.
bool ChooseRomPath(std::string& path) {
    bool chosen = true;
    if (app.cmdlineLoad) {
        path = app.cmdlinePath;
    } else {
        chosen = CurrentPlatform().ChooseRomToOpen(path);
    }
    app.cmdlineLoad = 0;
    return chosen;
}

LoadResult Failed(LoadFailure failure, int error = 0) {
    LoadResult result;
    result.failure = failure;
    result.error = error;
    return result;
}

// Finds the size of a loadable file; reports why not otherwise.
LoadResult QueryRomSize(const std::string& path, uint32_t& size) {
    FileInfo info;
    if (int error = StatFile(path, info)) {
        ShowMessage(true, "Internal Error (?)", kMbStop, "Unable to stat() file '%s'.", path.c_str());
        return Failed(LoadFailure::kStat, error);
    }
    // Reading a directory or a device would fail only after the loaded ROM is gone.
    if (info.kind == FileKind::kDirectory) {
        ShowMessage(true, "Can't Load Rom...!", kMbStop, "%s is a directory, not a ROM image.", path.c_str());
        return Failed(LoadFailure::kDirectory, EISDIR);
    }
    if (info.kind != FileKind::kRegular) {
        ShowMessage(true, "Can't Load Rom...!", kMbStop, "%s is not a regular file, so it can't be a ROM image.",
                    path.c_str());
        return Failed(LoadFailure::kNotRegular);
    }
    if (info.size == 0) {
        ShowMessage(true, "Ahem...", kMbStop, "%s is 0 bytes!  Bet you didn't\nthink I knew that or something...\n",
                    path.c_str());
        return Failed(LoadFailure::kEmpty);
    }
    if (info.size > kMaxRomBytes) {
        ShowMessage(true, "Can't Load Rom...!", kMbStop,
                    "%s is too big to load.\nA ROM image must be smaller than 2 GiB (2147483648 bytes).",
                    path.c_str());
        return Failed(LoadFailure::kTooBig, EFBIG);
    }
    size = static_cast<uint32_t>(info.size);
    return LoadResult();
}

// Opens the file, offering Retry for as long as the user wants.
std::FILE* OpenRom(const std::string& path, int& error) {
    for (;;) {
        errno = 0;
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (file) return file;
        error = errno;
        int answer = ShowMessage(true, "Can't Load Rom...!", kMbRetryCancelStop,
                                 "Here I sit all broken hearted,\ntried to load your rom,\n\nBut only farted.\n\n\n"
                                 "...Couldn't load %s.",
                                 path.c_str());
        if (answer != kIdRetry) return nullptr;
    }
}

// Reads the whole file into romData; reports why not otherwise. The
// caller releases everything after a failure, once the file is closed.
LoadResult ReadRom(std::FILE* file, const std::string& path, uint32_t size) {
    app.romData = static_cast<uint8_t*>(AllocBlock(size));
    if (!app.romData) {
        ShowMessage(true, "Out of Memory", kMbStop,
                    "Looks like Windows couldn't grab me enough\nfree memory to load your %d byte ROM...",
                    static_cast<int>(size));
        return Failed(LoadFailure::kNoMemory, ENOMEM);
    }
    errno = 0;
    size_t bytesRead = std::fread(app.romData, 1, size, file);
    if (errno != 0) {
        int error = errno;
        ShowMessage(true, "Trouble Reading File", kMbStop,
                    "The file loaded ok, and you had enough\nmemory to load it, but an error occurred while\n"
                    "reading the file %s\n",
                    path.c_str());
        return Failed(LoadFailure::kRead, error);
    }
    if (bytesRead < size) {
        ShowMessage(true, "Trouble Reading File", kMbStop,
                    "The file loaded ok, and you had enough\nmemory to load it, but I only read %d\n"
                    "bytes of the %d byte file %s\n",
                    static_cast<int>(bytesRead), static_cast<int>(size), path.c_str());
        return Failed(LoadFailure::kShortRead);
    }
    return LoadResult();
}

}  // namespace

LoadResult LoadAndRip() {
    std::string path;
    if (!ChooseRomPath(path)) return Failed(LoadFailure::kCancelled);
    uint32_t size = 0;
    LoadResult result = QueryRomSize(path, size);
    if (!result.Loaded()) return result;
    int openError = 0;
    std::FILE* file = OpenRom(path, openError);
    if (!file) return Failed(LoadFailure::kOpen, openError);

    Platform& platform = CurrentPlatform();
    uint32_t start = platform.TickCount();

    std::string prefix;
    if (app.romData) {
        prefix = "\r\n" + app.romPath + " freed";
        FreeAll();  // from here on the old image and its samples are gone
    }

    result = ReadRom(file, path, size);
    std::fclose(file);
    if (!result.Loaded()) {
        FreeAll();
        return result;
    }

    // Unsigned subtraction measures across the tick counter's wrap too.
    uint32_t elapsed = platform.TickCount() - start;

    app.romSize = size;
    app.romPath = path;
    LogPrint("\r\nYay!%s\r\nROM %s loaded ok.\r\n\r\nStats:\r\n%d bytes\r\nTook %d milliseconds", prefix.c_str(),
             path.c_str(), static_cast<int>(size), static_cast<int>(elapsed));
    EnableRomCommands();
    platform.PostCommand(IDM_RIP);
    return result;
}

LoadResult LoadRomImage(const std::string& path, const uint8_t* bytes, size_t size) {
    if (size == 0) {
        ShowMessage(true, "Ahem...", kMbStop, "%s is 0 bytes!  Bet you didn't\nthink I knew that or something...\n",
                    path.c_str());
        return Failed(LoadFailure::kEmpty);
    }
    if (size > kMaxRomBytes) {
        ShowMessage(true, "Can't Load Rom...!", kMbStop,
                    "%s is too big to load.\nA ROM image must be smaller than 2 GiB (2147483648 bytes).",
                    path.c_str());
        return Failed(LoadFailure::kTooBig, EFBIG);
    }
    FreeAll();
    app.romData = static_cast<uint8_t*>(AllocBlock(size));
    if (!app.romData) return Failed(LoadFailure::kNoMemory, ENOMEM);
    std::memcpy(app.romData, bytes, size);
    app.romSize = static_cast<uint32_t>(size);
    app.romPath = path;
    LogPrint("\r\nYay!\r\nROM %s loaded ok.\r\n\r\nStats:\r\n%d bytes\r\nTook %d milliseconds", path.c_str(),
             static_cast<int>(size), 0);
    EnableRomCommands();
    CurrentPlatform().PostCommand(IDM_RIP);
    return LoadResult();
}

void UnloadRom() {
    if (!app.romData) {
        LogPrint("\r\nYou have to load a ROM first.");
        return;
    }
    std::string kept = app.romPath;
    FreeAll();
    LogPrint("\r\nROM %s freed from memory.", kept.c_str());
    ResetProgress();
}

void RequestRip() {
    if (!app.romData) {
        LogPrint("\r\nYou have to load a ROM first.");
        return;
    }
    ResetProgress();
    app.scanPos = 0;
    app.foundCount = 0;
    app.ripPending = 1;
    FreeDecodeBuffer();
    LogPrint("\r\nSearching ROM for samples...");
}
