// Times the opening of an input, as every command starts, on large images
// and the demo ROM, and shows the peak memory next to what the set must
// hold anyway (the image) and the process's size before loading.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/report_memory.h"
#include "engine/inputs/open_input.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kLargeImageBytes = 8u << 20;
constexpr int kRepeats = 5;

struct BenchCase {
    const char* name;
    std::string path;
};

// Writes the image in pieces so that the parent never holds it whole.
template <typename NextByte>
void WriteImage(const std::string& path, uint32_t bytes, NextByte next) {
    std::ofstream out(path, std::ios::binary);
    std::vector<char> chunk(1 << 16);
    for (uint32_t written = 0; written < bytes;) {
        uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(chunk.size()), bytes - written);
        for (uint32_t k = 0; k < n; ++k) chunk[k] = static_cast<char>(next());
        out.write(chunk.data(), n);
        written += n;
    }
}

// A small fixed-seed generator, so every run rips the same bytes.
uint8_t NextRandomByte() {
    static uint64_t state = 0x9E3779B97F4A7C15ull;
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<uint8_t>(state >> 24);
}

// Back-to-back runs of 65 blocks with noise for data: every run
// qualifies, so this measures the decoder, a full sample table and the
// log line of every run beyond it.
uint8_t NextRunByte() {
    static uint32_t offset = 0;
    constexpr uint32_t kRunBytes = 65 * 9;
    uint32_t inRun = offset++ % kRunBytes;
    uint8_t noise = NextRandomByte();
    if (inRun % 9 != 0) return noise;
    if (inRun / 9 == 64) return 0x01;                           // end block
    return static_cast<uint8_t>((noise % 0xD0) & ~uint8_t{3});  // loop and end flags clear
}

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Measurement {
    double ms;
    uint32_t romBytes;
    int32_t found;
    long startKiB;
    long peakKiB;
};

// One opening of the file, as every command opens its input, after an
// opening of a one-byte image has paged in the program's code and
// libraries, so that the growth measured is the data's.
Measurement OpenOnce(const std::string& path, const std::string& warmUpPath) {
    OpenInput(warmUpPath, InputOptions());
    Measurement m{};
    m.startKiB = PeakResidentKiB();
    auto start = std::chrono::steady_clock::now();
    OpenedInput opened = OpenInput(path, InputOptions());
    auto stop = std::chrono::steady_clock::now();
    m.ms = std::chrono::duration<double, std::milli>(stop - start).count();
    m.romBytes = static_cast<uint32_t>(fs::file_size(path));
    m.found = static_cast<int32_t>(opened.set.samples.size());
    m.peakKiB = PeakResidentKiB();
    return m;
}

// Each round runs in a fresh process: a second load in the same process
// would measure the allocator's reuse of the first image's memory, not
// what the program needs.
bool MeasureInChild(const std::string& path, const std::string& warmUpPath, Measurement& out) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        Measurement m = OpenOnce(path, warmUpPath);
        ssize_t ignored = write(fds[1], &m, sizeof m);
        (void)ignored;
        std::_Exit(0);
    }
    close(fds[1]);
    ssize_t got = read(fds[0], &out, sizeof out);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return got == static_cast<ssize_t>(sizeof out);
}

void RunCase(const BenchCase& bench, const std::string& warmUpPath) {
    Measurement best{};
    best.ms = 1e300;
    long peakKiB = 0;
    for (int round = 0; round < kRepeats; ++round) {
        Measurement m{};
        if (!MeasureInChild(bench.path, warmUpPath, m)) {
            std::printf("%-12s failed\n", bench.name);
            return;
        }
        if (m.ms < best.ms) best = m;
        peakKiB = std::max(peakKiB, m.peakKiB);
    }
    double mbPerS = best.romBytes / 1e6 / (best.ms / 1e3);
    // The set holds the image; each sample's PCM is decoded when asked for.
    double heldMiB = best.romBytes / 1048576.0;
    double grownMiB = (peakKiB - best.startKiB) / 1024.0;
    std::printf("%-12s %9u %6d %9.2f %8.1f %9.2f %9.2f %9.2f %9.2f\n", bench.name, best.romBytes, best.found, best.ms,
                mbPerS, heldMiB, peakKiB / 1024.0, best.startKiB / 1024.0, grownMiB - heldMiB);
}

}  // namespace

int main() {
    std::string pattern = (fs::temp_directory_path() / "voxtrawl-bench-XXXXXX").string();
    std::vector<char> dirName(pattern.begin(), pattern.end());
    dirName.push_back('\0');
    if (!mkdtemp(dirName.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    fs::path dir(dirName.data());

    std::vector<BenchCase> cases;
    // Also the warm-up image of every measurement.
    cases.push_back({"one-byte", (dir / "one.sfc").string()});
    WriteImage(cases.back().path, 1, [] { return uint8_t{0x01}; });
    cases.push_back({"zeros-8MiB", (dir / "zeros.sfc").string()});
    WriteImage(cases.back().path, kLargeImageBytes, [] { return uint8_t{0}; });
    cases.push_back({"random-8MiB", (dir / "random.sfc").string()});
    WriteImage(cases.back().path, kLargeImageBytes, NextRandomByte);
    cases.push_back({"runs-8MiB", (dir / "runs.sfc").string()});
    WriteImage(cases.back().path, kLargeImageBytes, NextRunByte);
    std::string demo = std::string(VOXTRAWL_SOURCE_DIR) + "/assets/demo.sfc";
    if (fs::exists(demo)) cases.push_back({"demo.sfc", demo});

    std::printf("Opening an input (read, scan, measure every sample) as every command does, best of %d fresh "
                "processes\n", kRepeats);
    std::printf("Memory in MiB: the image held at the end, peak resident size, resident size before loading\n"
                "(after a warm-up of a one-byte image), and growth beyond the image (peak - start - image).\n");
    std::printf("%-12s %9s %6s %9s %8s %9s %9s %9s %9s\n", "image", "bytes", "found", "ms", "MB/s", "image", "peak",
                "start", "beyond");
    for (const BenchCase& bench : cases) RunCase(bench, cases.front().path);
#ifdef VOXTRAWL_CLI
    MeasureReportMemory(VOXTRAWL_CLI, dir.string());
#endif

    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}
