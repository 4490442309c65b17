#include "app/app_state.h"

#include <new>

#include "app/memory.h"
#include "app/platform.h"
#include "app/res/resource.h"

AppState app;

void ResetAppState() {
    FreeAll();
    FreeBlock(app.playBuffer);
    app.playBuffer = nullptr;
    app.~AppState();
    new (&app) AppState();
}

void FreeRom() {
    DisableRomCommands();
    FreeBlock(app.romData);
    app.romData = nullptr;
    app.romSize = 0;
    app.romPath.clear();
}

void FreeDecodeBuffer() {
    FreeBlock(app.decodeBuffer);
    app.decodeBuffer = nullptr;
}

void FreeSamples() {
    for (unsigned i = 0; i < kMaxSamples && app.sampleData[i]; ++i) {
        FreeBlock(app.sampleData[i]);
        app.sampleData[i] = nullptr;
        app.sampleBytes[i] = 0;
    }
    app.sampleCount = 0;
    CurrentPlatform().EnableMenuCommand(IDM_SAVE_EACH, false);
    app.samplesReady = 0;
}

void FreeAll() {
    ResetProgress();
    FreeRom();
    FreeDecodeBuffer();
    FreeSamples();
    app.ripPending = 0;
}

void EnableRomCommands() {
    Platform& platform = CurrentPlatform();
    platform.EnableMenuCommand(IDM_UNLOAD_ROM, true);
    platform.EnableMenuCommand(IDM_RIP, true);
    platform.EnableMenuCommand(IDM_SAVE_ALL_ONE_FILE, true);
    app.romCommandsEnabled = 1;
}

void DisableRomCommands() {
    Platform& platform = CurrentPlatform();
    platform.EnableMenuCommand(IDM_UNLOAD_ROM, false);
    platform.EnableMenuCommand(IDM_RIP, false);
    platform.EnableMenuCommand(IDM_SAVE_EACH, false);
    platform.EnableMenuCommand(IDM_SAVE_ALL_ONE_FILE, false);
    app.romCommandsEnabled = 0;
}

void ResetProgress() { CurrentPlatform().SetProgress(0); }

void StepProgress() { CurrentPlatform().StepProgressBar(); }
