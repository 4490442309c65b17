// Times what finding transfer streams and their directories adds to
// `voxtrawl-cli list` on 8 MiB images: noise, back-to-back runs, and runs
// among which drivers upload streams (code that sets DIR, a table,
// samples), the case that takes the whole search. `list` finds them
// itself; its time without them is that of a voxtrawl-cli built without
// the search when one is given (voxtrawl_stream_bench [BASELINE_CLI]),
// else the listing's time less the search's.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/files/little_endian.h"
#include "engine/inputs/stream_loops.h"
#include "engine/inputs/transfer_stream.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kImageBytes = 8u << 20;
constexpr int kRepeats = 5;

uint8_t NextRandomByte() {
    static uint64_t state = 0x9E3779B97F4A7C15ull;
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<uint8_t>(state >> 24);
}

// Back-to-back runs of 65 blocks with noise for data.
std::vector<uint8_t> RunsImage() {
    std::vector<uint8_t> image(kImageBytes);
    constexpr uint32_t kRunBytes = 65 * 9;
    for (uint32_t k = 0; k < kImageBytes; ++k) {
        uint32_t inRun = k % kRunBytes;
        uint8_t noise = NextRandomByte();
        if (inRun % 9 != 0) image[k] = noise;
        else image[k] = inRun / 9 == 64 ? 0x01 : static_cast<uint8_t>((noise % 0xD0) & ~3);
    }
    return image;
}

// One driver upload at `at`: code at $0400 storing page $30 to DIR, a
// table of 8 entries, and 8 looping samples of 70 blocks; returns its size.
uint32_t PutDriverStream(std::vector<uint8_t>& image, uint32_t at) {
    auto block = [&image, &at](uint16_t aram, const std::vector<uint8_t>& data) {
        PutLe16(&image[at], static_cast<uint16_t>(data.size()));
        PutLe16(&image[at + 2], aram);
        std::copy(data.begin(), data.end(), image.begin() + at + 4);
        at += 4 + static_cast<uint32_t>(data.size());
    };
    uint32_t first = at;
    block(0x0400, {0x20, 0x8F, 0x5D, 0xF2, 0x8F, 0x30, 0xF3, 0x2F, 0xFE});
    std::vector<uint8_t> table, samples;
    for (uint16_t i = 0; i < 8; ++i) {
        uint16_t start = static_cast<uint16_t>(0x4000 + i * 70 * 9);
        table.insert(table.end(), {uint8_t(start), uint8_t(start >> 8), uint8_t(start + 9), uint8_t((start + 9) >> 8)});
        for (int b = 0; b < 70; ++b) {
            samples.push_back(b == 69 ? 0xB3 : 0xB2);
            for (int k = 0; k < 8; ++k) samples.push_back(NextRandomByte());
        }
    }
    block(0x3000, table);
    block(0x4000, samples);
    block(0x0400, {});  // the terminator: length 0, jump $0400
    return at - first;
}

std::vector<uint8_t> StreamsImage() {
    std::vector<uint8_t> image = RunsImage();
    for (uint32_t at = 0x1000; at + 0x2000 < kImageBytes; at += 512u << 10) PutDriverStream(image, at);
    return image;
}

double ListMs(const std::string& cli, const std::string& path) {
    std::string command = "'" + cli + "' list '" + path + "' > /dev/null 2>&1";
    double best = 1e300;
    for (int round = 0; round < kRepeats; ++round) {
        auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) return -1;
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

std::vector<FoundRun> ListedRuns(const std::string& cli, const std::string& path, const fs::path& dir) {
    std::string json = (dir / "list.json").string();
    std::string command = "'" + cli + "' list --json '" + path + "' > '" + json + "' 2>/dev/null";
    std::vector<FoundRun> runs;
    if (std::system(command.c_str()) != 0) return runs;
    std::ifstream in(json);
    nlohmann::json listing = nlohmann::json::parse(in, nullptr, false);
    if (listing.is_discarded()) return runs;
    for (const auto& sample : listing["samples"]) runs.push_back({sample["start"], sample["end"]});
    return runs;
}

void RunCase(const char* name, const std::vector<uint8_t>& image, const std::string& cli, const std::string& baseline,
             const fs::path& dir) {
    std::string path = (dir / (std::string(name) + ".sfc")).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());
    double listMs = ListMs(cli, path);
    std::vector<FoundRun> runs = ListedRuns(cli, path, dir);
    double streamMs = 1e300;
    size_t streams = 0, named = 0, loops = 0;
    for (int round = 0; round < kRepeats; ++round) {
        auto start = std::chrono::steady_clock::now();
        std::vector<RunAram> found = FindRunAram(image.data(), static_cast<uint32_t>(image.size()), runs);
        streamMs = std::min(streamMs, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        named = static_cast<size_t>(std::count_if(found.begin(), found.end(), [](const RunAram& r) { return r.named; }));
        loops = static_cast<size_t>(std::count_if(found.begin(), found.end(), [](const RunAram& r) {
            return r.loop == LoopKind::Address || r.loop == LoopKind::Offset;
        }));
    }
    streams = FindTransferStreams(image.data(), static_cast<uint32_t>(image.size())).size();
    double withoutMs = baseline.empty() ? listMs - streamMs : ListMs(baseline, path);
    std::printf("%-14s %8zu %8zu %6zu %6zu %9.1f %9.1f %9.1f %7.2f\n", name, runs.size(), streams, named, loops,
                listMs, withoutMs, streamMs, listMs / withoutMs);
}

}  // namespace

int main(int argc, char** argv) {
    std::string baseline = argc > 1 ? argv[1] : "";
    std::string pattern = (fs::temp_directory_path() / "voxtrawl-stream-bench-XXXXXX").string();
    std::vector<char> dirName(pattern.begin(), pattern.end());
    dirName.push_back('\0');
    if (!mkdtemp(dirName.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    fs::path dir(dirName.data());
    std::printf("voxtrawl-cli list (best of %d processes), which finds streams, directories and loops for its runs,\n"
                "against list without them (%s) and the search alone (FindRunAram, best of %d in\n"
                "this process); ratio = list / without\n",
                kRepeats, baseline.empty() ? "list less the search" : baseline.c_str(), kRepeats);
    std::printf("%-14s %8s %8s %6s %6s %9s %9s %9s %7s\n", "image", "runs", "streams", "named", "loops", "list ms",
                "without", "stream ms", "ratio");
    std::vector<uint8_t> random(kImageBytes);
    for (uint8_t& byte : random) byte = NextRandomByte();
    RunCase("random-8MiB", random, VOXTRAWL_CLI, baseline, dir);
    RunCase("runs-8MiB", RunsImage(), VOXTRAWL_CLI, baseline, dir);
    RunCase("streams-8MiB", StreamsImage(), VOXTRAWL_CLI, baseline, dir);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}
