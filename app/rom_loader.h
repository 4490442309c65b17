// The commands that change which ROM image is in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Why a load did not happen.
enum class LoadFailure {
    kNone,
    kCancelled,    // no path chosen
    kStat,         // the file's size could not be found out
    kEmpty,        // 0 bytes
    kDirectory,
    kNotRegular,   // a device, a pipe ...
    kTooBig,       // 2 GiB or more
    kOpen,         // could not be opened (Retry declined)
    kNoMemory,
    kRead,         // a read error
    kShortRead,    // fewer bytes than the size
};

// What Load & Rip did, for a front end that decides by it.
struct LoadResult {
    LoadFailure failure = LoadFailure::kNone;
    int error = 0;  // errno of the failed call, when there was one
    bool Loaded() const { return failure == LoadFailure::kNone; }
};

// Load & Rip: asks for a file (or takes the command-line path), reads it
// whole and posts Rip.
LoadResult LoadAndRip();
// Load & Rip of an image already read (from a pipe, say): the same checks
// of its size, messages and posted Rip as for a file.
LoadResult LoadRomImage(const std::string& path, const uint8_t* bytes, size_t size);
// Unload: releases the ROM and all samples.
void UnloadRom();
// Rip: requests a scan from the next idle moment.
void RequestRip();
