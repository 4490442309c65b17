#include "app/rom_loader.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/memory.h"
#include "app/platform.h"
#include "app/res/resource.h"
#include "engine/log/log_sink.h"

namespace {

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

// Shows the box of a failed load; returns the button pressed.
int ShowProblem(const LoadProblem& problem, unsigned type = kMbStop) {
    return ShowMessage(true, problem.caption.c_str(), type, "%s", problem.text.c_str());
}

// Finds the size of a loadable file; reports why not otherwise.
LoadResult QueryRomSize(const std::string& path, uint32_t& size) {
    LoadProblem problem = CheckImageFile(path, size);
    if (problem.Ok()) return LoadResult();
    ShowProblem(problem);
    return Failed(problem.failure, problem.error);
}

// Opens the file, offering Retry for as long as the user wants.
std::FILE* OpenRom(const std::string& path, int& error) {
    for (;;) {
        errno = 0;
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (file) return file;
        error = errno;
        if (ShowProblem(OpenProblem(path, error), kMbRetryCancelStop) != kIdRetry) return nullptr;
    }
}

// Reads the whole file into romData; reports why not otherwise. The
// caller releases everything after a failure, once the file is closed.
LoadResult ReadRom(std::FILE* file, const std::string& path, uint32_t size) {
    app.romData = static_cast<uint8_t*>(AllocBlock(size));
    if (!app.romData) {
        ShowProblem(NoMemoryProblem(size));
        return Failed(LoadFailure::kNoMemory, ENOMEM);
    }
    errno = 0;
    size_t bytesRead = std::fread(app.romData, 1, size, file);
    if (errno != 0 || bytesRead < size) {
        LoadProblem problem = ReadProblem(path, errno, bytesRead, size);
        ShowProblem(problem);
        return Failed(problem.failure, problem.error);
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
