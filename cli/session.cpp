#include "cli/session.h"

#include "res/resource.h"

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
