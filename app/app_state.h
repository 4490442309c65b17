// The one process-wide record of the program and the operations that
// return it to a clean state.
#pragma once

#include <cstdint>
#include <string>

#include "engine/formats/sample_rates.h"
#include "engine/scan/scanner.h"

// Opaque window-system handle; only the Win32 front end knows what it holds.
using Handle = void*;

struct AppState {
    // ROM image: loaded exactly when romData is not null.
    uint8_t* romData = nullptr;
    uint32_t romSize = 0;
    std::string romPath;

    // Scan
    int ripPending = 0;
    uint32_t scanPos = 0;
    int32_t foundCount = 0;
    uint32_t runStart = 0;
    uint32_t runEnd = 0;
    uint32_t lastProgressPercent = 0;
    int16_t* decodeBuffer = nullptr;

    // SampleTable: filled from slot 0 upward with no gaps.
    int16_t* sampleData[kMaxSamples] = {};
    uint32_t sampleBytes[kMaxSamples] = {};
    uint32_t sampleCount = 0;

    // Settings and navigation: survive unloading for the life of the process.
    uint32_t currentSample = 1;
    int32_t frequency = kInitialFrequency;
    int loopPlayback = 0;
    int32_t minRunBytes = kInitialMinRunBytes;

    // Interface state
    int romCommandsEnabled = 0;
    int samplesReady = 0;
    std::string cmdlinePath;
    int cmdlineLoad = 0;
    uint8_t* playBuffer = nullptr;

    // Window handles, null until the front end creates them.
    Handle instance = nullptr;
    Handle mainWindow = nullptr;
    Handle mainMenu = nullptr;
    Handle toolbarWindow = nullptr;
    Handle progressWindow = nullptr;
    Handle logWindow = nullptr;
    Handle logFont = nullptr;
    Handle optionsWindow = nullptr;
    Handle samplesWindow = nullptr;
};

extern AppState app;

// Releases everything and puts every field back to its initial value.
// For tests and for a fresh start of the headless programs.
void ResetAppState();

// Release operations: accept any state and never fail.
void FreeRom();
void FreeDecodeBuffer();
void FreeSamples();
void FreeAll();

// Interface indicators, reached through the platform.
void EnableRomCommands();
void DisableRomCommands();
void ResetProgress();
void StepProgress();
