#include "bench/report_memory.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <vector>

#include <fcntl.h>

namespace {

constexpr uint32_t kImageBytes = 64u << 20;
// Long enough that the table's 1280 samples cover the whole image.
constexpr uint32_t kRunBlocks = 6000;
constexpr uint32_t kRunBytes = kRunBlocks * 9;

// Back-to-back runs of kRunBlocks blocks with noise for data.
void WriteLongChains(const std::string& path, uint64_t& pcmBytes) {
    std::ofstream out(path, std::ios::binary);
    std::vector<char> chunk(kRunBytes);
    uint64_t state = 0x2545F4914F6CDD1Dull;
    pcmBytes = 0;
    for (uint32_t written = 0; written < kImageBytes; written += kRunBytes) {
        for (uint32_t i = 0; i < kRunBytes; ++i) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            uint8_t noise = static_cast<uint8_t>(state >> 24);
            if (i % 9 != 0) chunk[i] = static_cast<char>(noise);
            else if (i / 9 == kRunBlocks - 1) chunk[i] = 0x01;  // end block
            else chunk[i] = static_cast<char>((noise % 0xD0) & ~3);
        }
        uint32_t n = std::min(kRunBytes, kImageBytes - written);
        out.write(chunk.data(), n);
        // A run cut by the image's end has no end block and is not found.
        if (n == kRunBytes) pcmBytes += uint64_t{kRunBlocks - 1} * 32;
    }
}

}  // namespace

void MeasureReportMemory(const std::string& cli, const std::string& dir) {
    namespace fs = std::filesystem;
    std::string image = (fs::path(dir) / "chains.sfc").string();
    std::string page = (fs::path(dir) / "chains.html").string();
    uint64_t pcmBytes = 0;
    WriteLongChains(image, pcmBytes);
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        execl(cli.c_str(), cli.c_str(), "report", image.c_str(), "-o", page.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::printf("report-64MiB failed (status %d)\n", status);
        return;
    }
    const double mib = 1048576.0;
    double pageMiB = fs::file_size(page) / mib;
    double peakMiB = usage.ru_maxrss / 1024.0;
    std::printf("\nvoxtrawl-cli report on a 64 MiB image of %u-block chains, peak resident size in MiB\n", kRunBlocks);
    std::printf("%-14s %9s %9s %9s %9s %12s\n", "image", "ROM", "PCM", "page", "peak", "peak/PCM");
    std::printf("%-14s %9.1f %9.1f %9.1f %9.1f %12.2f\n", "report-64MiB", kImageBytes / mib, pcmBytes / mib, pageMiB,
                peakMiB, peakMiB / (pcmBytes / mib));
}
