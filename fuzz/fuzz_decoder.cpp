// DecodeRun on its own, on arbitrary runs of arbitrary bytes, against the
// decoding model; with the sample table empty, nearly full or full, and
// with the allocation failing.
//
// Input: byte 0 holds the flags below, bytes 1-2 and 3-4 (little-endian)
// pick the run's start and length; the rest is the image.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "engine/brr/brr_decoder.h"
#include "app/scan_loop.h"
#include "app/memory.h"
#include "app/platform.h"
#include "tests/brr_model.h"
#include "fuzz/fuzz_check.h"
#include "tests/recording_platform.h"
#include "app/log.h"

namespace {

constexpr size_t kPrefixBytes = 5;
constexpr uint8_t kAlignedFlag = 0x01;     // span a multiple of 9, as from the scanner
constexpr uint8_t kAllocFailsFlag = 0x08;  // the decode buffer cannot be had
constexpr unsigned kTablePresets[] = {0, 5, kMaxSamples - 1, kMaxSamples};
constexpr size_t kEmptySampleBlock = 44;  // a 0-byte sample still has its header room

RecordingPlatform* platform = nullptr;

bool RefuseEverything(size_t) { return false; }

// Fills the first slots with empty samples, as earlier runs of a scan would.
void PresetTable(unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        app.sampleData[i] = static_cast<int16_t*>(AllocBlock(kEmptySampleBlock));
        FUZZ_CHECK(app.sampleData[i] != nullptr);
    }
    app.sampleCount = count;
}

// Whether the run is one the scanner could hand over: whole blocks, and
// every header before the end block below 0xD0.
bool ScannerShaped(const uint8_t* rom, uint32_t start, uint32_t end) {
    if ((end - start) % 9 != 0) return false;
    for (uint32_t i = start; i < end; i += 9)
        if (rom[i] >= 0xD0) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform = new RecordingPlatform();
    SetPlatform(platform);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size <= kPrefixBytes) return 0;
    const uint8_t flags = data[0];
    const uint32_t imageSize = static_cast<uint32_t>(size - kPrefixBytes);
    const uint32_t start = (data[1] | data[2] << 8) % imageSize;
    const uint32_t lengthPick = data[3] | data[4] << 8;
    const uint32_t room = imageSize - 1 - start;  // bytes after start
    const uint32_t end =
        flags & kAlignedFlag ? start + lengthPick % (room / 9 + 1) * 9 : start + lengthPick % (room + 1);
    const unsigned preset = kTablePresets[(flags >> 1) & 3];
    const bool allocFails = flags & kAllocFailsFlag;

    ResetAppState();
    *platform = RecordingPlatform();
    LogClear();
    app.romData = static_cast<uint8_t*>(AllocBlock(imageSize));
    std::memcpy(app.romData, data + kPrefixBytes, imageSize);
    app.romSize = imageSize;
    PresetTable(preset);
    std::vector<int16_t*> before(app.sampleData, app.sampleData + kMaxSamples);

    app.runStart = start;
    app.runEnd = end;
    if (allocFails) SetAllocGate(RefuseEverything);
    DecodeRun();
    SetAllocGate(nullptr);

    const uint32_t bytes = (end - start + 8) / 9 * 32;
    FUZZ_CHECK(app.decodeBuffer == nullptr);
    if (allocFails) {
        FUZZ_CHECK(std::string(LogText()) == "\r\nError allocating " + std::to_string(bytes) + " bytes.");
        FUZZ_CHECK(app.sampleCount == preset);
        FUZZ_CHECK(std::vector<int16_t*>(app.sampleData, app.sampleData + kMaxSamples) == before);
        return 0;
    }
    if (preset == kMaxSamples) {
        FUZZ_CHECK(std::string(LogText()) == "\r\nMax of 1280 samples reached.");
        FUZZ_CHECK(app.sampleCount == kMaxSamples);
        FUZZ_CHECK(std::vector<int16_t*>(app.sampleData, app.sampleData + kMaxSamples) == before);
        return 0;
    }
    FUZZ_CHECK(*LogText() == '\0');
    FUZZ_CHECK(app.sampleCount == preset + 1);
    FUZZ_CHECK(app.sampleData[preset] != nullptr && app.sampleBytes[preset] == bytes);
    if (preset + 1 < kMaxSamples) FUZZ_CHECK(app.sampleData[preset + 1] == nullptr);

    const std::vector<int16_t> model = ModelDecodeRun(app.romData, start, end);
    // Only a run shaped as the scanner hands them over fills the buffer
    // exactly; any other run decodes into a prefix of it.
    if (ScannerShaped(app.romData, start, end)) FUZZ_CHECK(model.size() * 2 == bytes);
    FUZZ_CHECK(model.size() * 2 <= bytes);
    if (!model.empty()) FUZZ_CHECK(std::memcmp(model.data(), app.sampleData[preset], model.size() * 2) == 0);
    return 0;
}
