#include "cli/session.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include "cli/paths.h"
#include "engine/brr/brr_block.h"
#include "engine/brr/brr_chip_decoder.h"
#include "app/memory.h"
#include "app/rom_loader.h"
#include "engine/scan/scanner.h"
#include "app/res/resource.h"

namespace {

// The scanner reports runs through a plain function; the list being
// filled lives here meanwhile.
std::vector<ScannedRun>* runsInProgress = nullptr;

void CollectRun(uint32_t runStart, uint32_t runEnd, RunOutcome outcome) {
    bool loop = (app.romData[runStart] & kLoopFlag) != 0;
    bool stored = outcome == RunOutcome::kStored;
    uint32_t slot = stored ? app.sampleCount - 1 : 0;
    runsInProgress->push_back({runStart, runEnd, loop, outcome, slot, stored ? app.sampleBytes[slot] : 0});
    if (!stored) return;
    // The slot stays empty, which the release operations accept.
    ScannedRun& run = runsInProgress->back();
    run.silent = IsSilent(app.sampleData[slot], run.bytes / 2) ? 1 : 0;
    FreeBlock(app.sampleData[slot]);
    app.sampleData[slot] = nullptr;
    app.sampleBytes[slot] = 0;
}

}  // namespace

static std::string LoadFailureReason(const LoadResult& load) {
    switch (load.failure) {
    case LoadFailure::kEmpty: return "the file is empty";
    case LoadFailure::kNotRegular: return "not a regular file";
    case LoadFailure::kTooBig: return "2 GiB or larger";
    case LoadFailure::kShortRead: return "the file ended before its size";
    case LoadFailure::kCancelled: return "no file given";
    default: return std::strerror(load.error ? load.error : EIO);
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
                     "voxtrawl-cli: %u qualifying %s not stored: a rip keeps %u samples at most; a higher "
                     "--min-run finds fewer runs.\n",
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

namespace {

// Loads by the given step, then runs the posted Rip and its scan.
bool Scan(CliPlatform& platform, const std::string& romPath, std::vector<ScannedRun>& runs,
          const std::function<LoadResult()>& load) {
    runsInProgress = &runs;
    SetRunObserver(CollectRun);
    platform.currentInput = romPath;
    LoadResult result = load();
    platform.RunUntilIdle();  // the posted Rip, then the scan
    SetRunObserver(nullptr);
    runsInProgress = nullptr;
    if (!result.Loaded()) {
        platform.Finish();
        std::fprintf(stderr, "voxtrawl-cli: cannot read %s: %s\n", Quoted(romPath).c_str(),
                     LoadFailureReason(result).c_str());
    }
    return result.Loaded();
}

}  // namespace

bool LoadAndScan(CliPlatform& platform, const std::string& romPath, std::vector<ScannedRun>& runs) {
    return Scan(platform, romPath, runs, [&romPath]() {
        app.cmdlineLoad = 1;
        app.cmdlinePath = romPath;
        return LoadAndRip();
    });
}

bool LoadAndScanBytes(CliPlatform& platform, const std::string& romPath, const std::vector<uint8_t>& bytes,
                      std::vector<ScannedRun>& runs) {
    return Scan(platform, romPath, runs, [&]() { return LoadRomImage(romPath, bytes.data(), bytes.size()); });
}
