#include "cli/session.h"

#include "core/brr_block.h"
#include "core/scanner.h"
#include "res/resource.h"

namespace {

// The scanner reports runs through a plain function; the list being
// filled lives here meanwhile.
std::vector<ScannedRun>* runsInProgress = nullptr;

void CollectRun(uint32_t runStart, uint32_t runEnd, RunOutcome outcome) {
    bool stored = outcome == RunOutcome::kStored;
    bool loop = (app.romData[runStart] & kLoopFlag) != 0;
    runsInProgress->push_back({runStart, runEnd, loop, stored, app.sampleCount - 1});
}

}  // namespace

void BeginSession(CliPlatform& platform, const RipSettings& settings) {
    SetPlatform(&platform);
    app.frequency = settings.rate;
    app.minRunBytes = settings.minRun;
}

void EndSession(CliPlatform& platform) {
    FreeAll();
    platform.Finish();
}

bool LoadAndScan(CliPlatform& platform, const std::string& romPath) {
    // Every way a load can fail shows a box; a load that works shows none.
    size_t boxesBefore = platform.boxes.size();
    app.cmdlineLoad = 1;
    app.cmdlinePath = romPath;
    platform.Run(IDM_LOAD_AND_RIP);
    return platform.boxes.size() == boxesBefore;
}

bool LoadAndScanRuns(CliPlatform& platform, const std::string& romPath, std::vector<ScannedRun>& runs) {
    runsInProgress = &runs;
    SetRunObserver(CollectRun);
    bool loaded = LoadAndScan(platform, romPath);
    SetRunObserver(nullptr);
    runsInProgress = nullptr;
    return loaded;
}
