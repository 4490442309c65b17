// How fast the sound processor runs the shared snapshots: seconds of song
// per second of wall time, mixing the output and without (CPU, timers,
// voices and echo still run), and the resident memory before and after.
// voxtrawl_sound_bench [SECONDS_OF_SONG]
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/sound/sound_processor.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kSliceFrames = 4000;
const char* const kSongs[] = {"SNESPulseSRC", "ferris-nu", "lorom-template", "smashit"};

// Resident memory in KiB, from /proc (0 where there is none).
long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

struct Timing {
    double wall;  // seconds
    double cpu;   // seconds of processor time (the machine may be shared)
};

// Runs `seconds` of the song and times it.
Timing TimeRun(const SpcSnapshot& snapshot, int seconds, bool mix) {
    auto sound = std::make_unique<SoundProcessor>();
    sound->Load(snapshot);
    std::vector<int16_t> frames(2 * (kSliceFrames + kRunSlackFrames));
    uint64_t total = static_cast<uint64_t>(seconds) * kFramesPerSecond;
    auto start = std::chrono::steady_clock::now();
    std::clock_t cpuStart = std::clock();
    for (uint64_t done = 0; done < total; done += kSliceFrames) sound->Run(kSliceFrames, mix ? frames.data() : nullptr);
    double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), cpu};
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 300;
    fs::path folder = fs::path(VOXTRAWL_SOURCE_DIR) / ".." / "shared" / "testdata" / "spc";
    std::printf("%-16s %10s %10s %10s %10s %12s %12s\n", "snapshot", "mixed", "(cpu)", "unmixed", "(cpu)",
                "RSS before", "RSS after");
    for (const char* name : kSongs) {
        std::ifstream file(folder / (std::string(name) + ".spc"), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
        auto snapshot = std::make_unique<SpcSnapshot>();
        if (!ReadSpcSnapshot(bytes.data(), bytes.size(), *snapshot)) {
            std::printf("%-16s not found in %s\n", name, folder.string().c_str());
            continue;
        }
        long before = ResidentKiB();
        Timing mixed = TimeRun(*snapshot, seconds, true);
        Timing unmixed = TimeRun(*snapshot, seconds, false);
        std::printf("%-16s %10.1f %10.1f %10.1f %10.1f %8ld KiB %8ld KiB\n", name, seconds / mixed.wall,
                    seconds / mixed.cpu, seconds / unmixed.wall, seconds / unmixed.cpu, before, ResidentKiB());
    }
    std::printf("(seconds of song run per second of wall time, and per second of processor time in brackets;\n"
                " %d s of each song)\n", seconds);
    return 0;
}
