// What every subcommand does with a ROM before its own part: set up the
// program's state and platform, then load and scan as the window does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_platform.h"
#include "core/app_state.h"
#include "core/brr_decoder.h"

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

// A qualifying run of the scan, in image order: the one record that
// list, report and rip share.
struct ScannedRun {
    uint32_t start;  // offset of the first block header
    uint32_t end;    // offset of the end block header
    bool loop;       // loop flag of the first block
    RunOutcome outcome;
    uint32_t slot;   // its sample table slot, when stored
    uint32_t bytes;  // its PCM bytes, when stored

    bool Stored() const { return outcome == RunOutcome::kStored; }
    uint32_t Blocks() const;
    // The file rip saves it as ("12.wav": slot 11); empty when not stored.
    std::string FileName() const;
    // Why it was not stored ("limit", "memory"); nullptr when it was.
    const char* NotStoredReason() const;
};

// After a scan, says on stderr how many runs were not stored and why.
// Returns kExitFailed when memory ran out for any, else kExitOk.
int ReportNotStored(const std::vector<ScannedRun>& runs);

// Load & Rip by the command-line road, then the idle-time scan, listing
// the qualifying runs. The stored samples stay in the table until
// EndSession. When the ROM could not be loaded, says why on stderr (after
// its message box) and returns false. A scan that finds nothing unloads
// the ROM but still counts as success.
bool LoadAndScan(CliPlatform& platform, const std::string& romPath, std::vector<ScannedRun>& runs);
