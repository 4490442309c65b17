// What every subcommand does with a ROM before its own part: set up the
// program's state and platform, then load and scan as the window does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_platform.h"
#include "app/app_state.h"
#include "engine/scan/scanned_run.h"

// Exit codes of voxtrawl-cli.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // a ROM could not be loaded or a file not written
constexpr int kExitUsage = 2;

// The settings a user can change, with the program's initial values.
struct RipSettings {
    int32_t rate = kInitialFrequency;
    int32_t minRun = kInitialMinRunBytes;
};

// Makes platform the program's platform and applies the settings.
void BeginSession(CliPlatform& platform, const RipSettings& settings);
// Releases the ROM and samples and ends the output, as shutdown does.
void EndSession(CliPlatform& platform);

// After a scan, says on stderr how many runs were not stored and why.
// Returns kExitFailed when memory ran out for any, else kExitOk.
int ReportNotStored(const std::vector<ScannedRun>& runs);

// Load & Rip by the command-line road, then the idle-time scan, listing
// the qualifying runs. The stored samples stay in the table until
// EndSession. When the ROM could not be loaded, says why on stderr (after
// its message box) and returns false. A scan that finds nothing unloads
// the ROM but still counts as success.
// Each stored sample is let go as soon as it is made, its silence noted
// first: the table stays empty and only the image is held.
bool LoadAndScan(CliPlatform& platform, const std::string& romPath, std::vector<ScannedRun>& runs);
// The same for an image already read from a pipe.
bool LoadAndScanBytes(CliPlatform& platform, const std::string& romPath, const std::vector<uint8_t>& bytes,
                      std::vector<ScannedRun>& runs);
