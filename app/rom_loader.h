// The commands that change which ROM image is in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/inputs/image_file.h"

// What Load & Rip did, for a front end that decides by it.
struct LoadResult {
    LoadFailure failure = LoadFailure::kNone;
    int error = 0;  // errno of the failed call, when there was one
    bool Loaded() const { return failure == LoadFailure::kNone; }
};

// Load & Rip: asks for a file (or takes the command-line path), reads it
// whole and posts Rip.
LoadResult LoadAndRip();
// Unload: releases the ROM and all samples.
void UnloadRom();
// Rip: requests a scan from the next idle moment.
void RequestRip();
