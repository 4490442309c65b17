// Loads arbitrary bytes as a ROM image through the recording platform,
// rips it, plays and saves the samples in all three ways, and checks what
// comes out against the slow literal search and the decoding model.
//
// Input: byte 0 picks minRunBytes (with byte 1 as its parameter), byte 2
// picks the sample saved alone; the rest is the ROM image.

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "engine/brr/brr_block.h"
#include "engine/files/little_endian.h"
#include "app/platform.h"
#include "engine/scan/scanner.h"
#include "app/scan_loop.h"
#include "tests/brr_model.h"
#include "fuzz/fuzz_check.h"
#include "engine/formats/wav_header.h"
#include "app/res/resource.h"
#include "tests/literal_scan.h"
#include "tests/recording_platform.h"
#include "app/log.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// The literal search is quadratic; beyond this size only the cheaper
// invariants are checked.
constexpr size_t kOracleLimit = 4096;
constexpr size_t kPrefixBytes = 3;

RecordingPlatform* platform = nullptr;
std::string workDir;

struct SeenRun {
    uint32_t start, end;
    bool stored;
    bool operator==(const SeenRun& other) const {
        return start == other.start && end == other.end && stored == other.stored;
    }
};
std::vector<SeenRun> seenRuns;

void RecordRun(uint32_t start, uint32_t end, RunOutcome outcome) {
    seenRuns.push_back({start, end, outcome == RunOutcome::kStored});
}

void RemoveWorkDir() {
    std::error_code ignored;
    fs::remove_all(workDir, ignored);
}

int32_t ChooseMinRunBytes(uint8_t mode, uint8_t parameter) {
    switch (mode % 5) {
    case 0: return 0;
    case 1: return 1;
    case 2: return parameter;  // small spans, below the usual minimum
    case 3: return kInitialMinRunBytes;
    default: return -1 - parameter;  // compares as a huge unsigned span
    }
}

// Plain stdio: these run for every sample of every input.
Bytes ReadFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    FUZZ_CHECK(file != nullptr);
    Bytes bytes;
    uint8_t chunk[1 << 14];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(file);
    return bytes;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, file) == size);
    FUZZ_CHECK(std::fclose(file) == 0);
}

std::string NumberedFile(unsigned number) { return workDir + "/rom/" + std::to_string(number) + ".wav"; }

// Numbered files stay from one input to the next (creating and removing
// hundreds of files per input would cost most of the time); those beyond
// this input's samples are removed before it saves.
unsigned numberedFilesOnDisk = 0;

void RemoveNumberedFilesAbove(unsigned count) {
    for (unsigned n = count + 1; n <= numberedFilesOnDisk; ++n) FUZZ_CHECK(std::remove(NumberedFile(n).c_str()) == 0);
    numberedFilesOnDisk = std::min(numberedFilesOnDisk, count);
}

uint32_t Le32(const Bytes& bytes, size_t at) { return GetLe32(bytes.data() + at); }

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// A saved or played WAVE image: the header for its data size at 8000 Hz,
// 44 bytes more than the data, and the given samples back to back.
void CheckWavImage(const Bytes& image, unsigned first, unsigned count) {
    uint32_t total = 0;
    for (unsigned i = first; i < first + count; ++i) total += app.sampleBytes[i];
    FUZZ_CHECK(image.size() == kWavHeaderSize + size_t{total});
    FUZZ_CHECK(std::memcmp(image.data(), BuildWavHeader(total, app.frequency).data(), kWavHeaderSize) == 0);
    FUZZ_CHECK(Le32(image, 4) == total + 36 && Le32(image, 40) == total);
    size_t at = kWavHeaderSize;
    for (unsigned i = first; i < first + count; ++i) {
        FUZZ_CHECK(std::memcmp(image.data() + at, app.sampleData[i], app.sampleBytes[i]) == 0);
        at += app.sampleBytes[i];
    }
}

// The runs handed to the decoder, the samples stored and the progress
// steps, against the literal search on small images.
void CheckRunsAndSamples(const Bytes& rom, int32_t minRunBytes) {
    FUZZ_CHECK(app.foundCount >= 0 && static_cast<size_t>(app.foundCount) == seenRuns.size());
    size_t stored = std::min<size_t>(seenRuns.size(), kMaxSamples);
    FUZZ_CHECK(app.sampleCount == (seenRuns.empty() ? 0 : stored));
    FUZZ_CHECK(app.sampleCount <= kMaxSamples);
    uint32_t previousEnd = 0;
    for (size_t k = 0; k < seenRuns.size(); ++k) {
        const SeenRun& run = seenRuns[k];
        FUZZ_CHECK(run.stored == (k < kMaxSamples));
        FUZZ_CHECK(run.start <= run.end && run.end < rom.size());
        FUZZ_CHECK((run.end - run.start) % 9 == 0);
        FUZZ_CHECK(run.end - run.start >= static_cast<uint32_t>(minRunBytes));
        FUZZ_CHECK(k == 0 || run.start >= previousEnd + 9);  // runs never overlap
        previousEnd = run.end;
        if (k >= app.sampleCount) continue;
        uint32_t blocks = BlocksInRun(run.start, run.end);
        FUZZ_CHECK(app.sampleBytes[k] == 32 * (blocks - 1));
        std::vector<int16_t> model = ModelDecodeRun(rom.data(), run.start, run.end);
        FUZZ_CHECK(model.size() * 2 == app.sampleBytes[k]);
        if (!model.empty()) FUZZ_CHECK(std::memcmp(model.data(), app.sampleData[k], app.sampleBytes[k]) == 0);
    }
    for (unsigned i = app.sampleCount; i < kMaxSamples; ++i)
        FUZZ_CHECK(app.sampleData[i] == nullptr && app.sampleBytes[i] == 0);

    if (rom.size() > kOracleLimit) return;
    LiteralScanResult literal = LiteralScan(rom, minRunBytes);
    FUZZ_CHECK(literal.foundCount == app.foundCount);
    FUZZ_CHECK(literal.runs.size() == seenRuns.size());
    for (size_t k = 0; k < seenRuns.size(); ++k)
        FUZZ_CHECK(literal.runs[k] == std::make_pair(seenRuns[k].start, seenRuns[k].end));
    size_t steps = std::count_if(platform->progressHistory.begin(), platform->progressHistory.end(),
                                 [](unsigned position) { return position != 0; });
    FUZZ_CHECK(steps == literal.stepPositions.size());
    FUZZ_CHECK(app.lastProgressPercent == literal.lastProgressPercent);
}

// Nothing qualified: the scan unloaded the ROM, and the saves refuse.
void CheckNothingFound(const std::string& romPath) {
    FUZZ_CHECK(app.romData == nullptr && app.romSize == 0 && app.romPath.empty());
    FUZZ_CHECK(EndsWith(LogText(), "\r\nFound 0 samples.\r\nROM " + romPath + " freed from memory."));
    platform->Run(IDM_SAVE_EACH);
    FUZZ_CHECK(EndsWith(LogText(),
                        "\r\n\r\nYou have to load a rom, then choose \"Rip to Pieces\" before you can select this."));
    platform->Run(IDM_SAVE_ALL_ONE_FILE);
    FUZZ_CHECK(EndsWith(LogText(), "\r\nYou have to load a ROM first."));
    FUZZ_CHECK(platform->directoriesCreated.empty() && platform->saveTitles.empty());
}

void CheckSaveEach() {
    RemoveNumberedFilesAbove(app.sampleCount);
    platform->Run(IDM_SAVE_EACH);
    numberedFilesOnDisk = app.sampleCount;
    FUZZ_CHECK(EndsWith(LogText(), "\r\nWrote " + std::to_string(app.sampleCount) + " .wav files in directory " +
                                       workDir + "/rom at frequency 8000."));
    for (unsigned i = 0; i < app.sampleCount; ++i) CheckWavImage(ReadFile(NumberedFile(i + 1)), i, 1);
    FUZZ_CHECK(!fs::exists(NumberedFile(app.sampleCount + 1)));
}

void CheckSaveCurrentAndPlay(uint8_t pick) {
    unsigned slot = pick % app.sampleCount;
    app.currentSample = slot + 1;
    std::string path = workDir + "/current.wav";
    platform->savePaths.push_back(path);
    platform->Run(IDT_SAVE_CURRENT);
    FUZZ_CHECK(EndsWith(LogText(), "\r\nSaved " + path + "."));
    CheckWavImage(ReadFile(path), slot, 1);

    platform->Run(IDT_PLAY);
    FUZZ_CHECK(!platform->sounds.empty() && !platform->sounds.back().stop);
    CheckWavImage(platform->sounds.back().image, slot, 1);
}

void CheckSaveAll() {
    std::string path = workDir + "/all.wav";
    platform->savePaths.push_back(path);
    platform->Run(IDM_SAVE_ALL_ONE_FILE);
    FUZZ_CHECK(EndsWith(LogText(), "\r\nSaved " + path + "."));
    CheckWavImage(ReadFile(path), 0, app.sampleCount);
}

void CheckUnload() {
    platform->Run(IDM_UNLOAD_ROM);
    FUZZ_CHECK(app.romData == nullptr && app.sampleCount == 0 && app.sampleData[0] == nullptr);
    FUZZ_CHECK(!app.samplesReady);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (fs::temp_directory_path() / "voxtrawl-fuzz-rip-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    workDir = pattern;
    std::atexit(RemoveWorkDir);
    platform = new RecordingPlatform();
    SetPlatform(platform);
    SetRunObserver(RecordRun);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kPrefixBytes) return 0;
    const int32_t minRunBytes = ChooseMinRunBytes(data[0], data[1]);
    const uint8_t pick = data[2];
    const Bytes rom(data + kPrefixBytes, data + size);

    ResetAppState();
    *platform = RecordingPlatform();
    LogClear();
    seenRuns.clear();

    app.minRunBytes = minRunBytes;
    const std::string romPath = workDir + "/rom.sfc";
    WriteFile(romPath, rom.data(), rom.size());
    platform->openPaths.push_back(romPath);
    platform->Run(IDM_LOAD_AND_RIP);

    if (rom.empty()) {
        FUZZ_CHECK(platform->boxes.size() == 1 && platform->boxes[0].caption == "Ahem...");
        FUZZ_CHECK(app.romData == nullptr && seenRuns.empty());
        return 0;
    }
    FUZZ_CHECK(platform->boxes.empty());
    FUZZ_CHECK(!app.ripPending && app.decodeBuffer == nullptr);
    CheckRunsAndSamples(rom, minRunBytes);
    if (seenRuns.empty()) {
        CheckNothingFound(romPath);
        return 0;
    }
    FUZZ_CHECK(app.romSize == rom.size() && std::memcmp(app.romData, rom.data(), rom.size()) == 0);
    FUZZ_CHECK(app.samplesReady && app.currentSample == 1);
    FUZZ_CHECK(EndsWith(LogText(), "\r\nFound " + std::to_string(seenRuns.size()) + " samples."));

    CheckSaveEach();
    CheckSaveCurrentAndPlay(pick);
    CheckSaveAll();
    CheckUnload();
    return 0;
}
