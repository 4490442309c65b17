#include "cli/session.h"

#include <cstdio>

#include "core/brr_block.h"
#include "core/scanner.h"
#include "res/resource.h"

namespace {

// The scanner reports runs through a plain function; the list being
// filled lives here meanwhile.
std::vector<ScannedRun>* runsInProgress = nullptr;

void CollectRun(uint32_t runStart, uint32_t runEnd, RunOutcome outcome) {
    bool loop = (app.romData[runStart] & kLoopFlag) != 0;
    bool stored = outcome == RunOutcome::kStored;
    uint32_t slot = stored ? app.sampleCount - 1 : 0;
    runsInProgress->push_back({runStart, runEnd, loop, outcome, slot, stored ? app.sampleBytes[slot] : 0});
}

}  // namespace

uint32_t ScannedRun::Blocks() const { return (end - start) / kBlockBytes + 1; }

std::string ScannedRun::FileName() const { return Stored() ? std::to_string(slot + 1) + ".wav" : ""; }

const char* ScannedRun::NotStoredReason() const {
    switch (outcome) {
    case RunOutcome::kTableFull: return "limit";
    case RunOutcome::kNoMemory: return "memory";
    default: return nullptr;
    }
}

int ReportNotStored(const std::vector<ScannedRun>& runs) {
    unsigned limit = 0;
    unsigned memory = 0;
    for (const ScannedRun& run : runs) {
        if (run.outcome == RunOutcome::kTableFull) ++limit;
        if (run.outcome == RunOutcome::kNoMemory) ++memory;
    }
    if (memory > 0)
        std::fprintf(stderr, "voxtrawl-cli: %u %s not stored: there was not enough memory to decode %s.\n", memory,
                     memory == 1 ? "run was" : "runs were", memory == 1 ? "it" : "them");
    if (limit > 0)
        std::fprintf(stderr,
                     "voxtrawl-cli: %u more %s not stored: a rip keeps %u samples at most; a higher --min-run "
                     "finds fewer runs.\n",
                     limit, limit == 1 ? "run was" : "runs were", kMaxSamples);
    return memory > 0 ? kExitFailed : kExitOk;
}

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
    size_t boxesBefore = platform.BoxesShown();
    app.cmdlineLoad = 1;
    app.cmdlinePath = romPath;
    platform.Run(IDM_LOAD_AND_RIP);
    return platform.BoxesShown() == boxesBefore;
}

bool LoadAndScanRuns(CliPlatform& platform, const std::string& romPath, std::vector<ScannedRun>& runs) {
    runsInProgress = &runs;
    SetRunObserver(CollectRun);
    bool loaded = LoadAndScan(platform, romPath);
    SetRunObserver(nullptr);
    runsInProgress = nullptr;
    return loaded;
}
