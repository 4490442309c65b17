#include "core/scanner.h"

#include "core/app_state.h"
#include "core/brr_decoder.h"
#include "core/platform.h"
#include "res/resource.h"
#include "ui/log.h"

// The search resumes one byte after every attempt that does not qualify,
// so a naive walk follows the same chain of blocks again from each of its
// headers: quadratic on long stretches such as 0x00 fill. The outcome of
// following a chain from a header depends only on the image and that
// header, and every header of a chain before the one where it stopped
// passed the same tests with the same loop flag, so it shares the chain's
// stopping point. Attempts only move forward, so remembering the last
// chain followed in each of the 9 byte lanes (offset mod 9) is enough to
// visit every byte a bounded number of times.

namespace {

RunObserver runObserver = nullptr;

constexpr uint32_t kBlockBytes = 9;
constexpr uint8_t kFirstInvalidHeader = 0xD0;
constexpr uint8_t kEndFlag = 0x01;
constexpr uint8_t kLoopFlag = 0x02;

// Where following a chain from start stopped: at an end block (success)
// or at the header that failed a test.
struct Chain {
    uint32_t start = 0;
    uint32_t stop = 0;
    bool success = false;
};

Chain FollowChain(const uint8_t* rom, uint32_t size, uint32_t start) {
    const uint8_t loop = rom[start] & kLoopFlag;
    uint32_t i = start;
    for (;;) {
        const uint8_t h = rom[i];
        if (h & kEndFlag) return {start, i, true};
        // size - i <= 9: the next header would lie outside the image.
        if (h >= kFirstInvalidHeader || (h & kLoopFlag) != loop || size - i <= kBlockBytes) return {start, i, false};
        i += kBlockBytes;
    }
}

// The bar is stepped once per increase of the whole percentage. Rather
// than divide after every attempt, remember the offset at which the
// percentage next increases.
struct ProgressMeter {
    uint32_t size;
    uint64_t nextStepAt;
};

uint64_t FirstOffsetAbove(uint32_t percent, uint32_t size) {
    return ((static_cast<uint64_t>(percent) + 1) * size + 99) / 100;
}

void ReportProgress(ProgressMeter& meter, uint32_t scanPos) {
    if (scanPos < meter.nextStepAt) return;
    uint32_t percent = static_cast<uint32_t>(static_cast<uint64_t>(scanPos) * 100 / meter.size);
    app.scanPos = scanPos;
    StepProgress();
    app.lastProgressPercent = percent;
    meter.nextStepAt = FirstOffsetAbove(percent, meter.size);
}

// Decodes one qualifying run and counts it; returns where the search goes on.
uint32_t TakeRun(uint32_t start, uint32_t end) {
    app.scanPos = start;
    app.runStart = start;
    app.runEnd = end;
    uint32_t before = app.sampleCount;
    DecodeRun();
    ++app.foundCount;
    if (runObserver) runObserver(start, end, app.sampleCount != before);
    return end + kBlockBytes;
}

void SearchImage() {
    const uint8_t* rom = app.romData;
    const uint32_t size = app.romSize;
    const uint32_t minRun = static_cast<uint32_t>(app.minRunBytes);
    ProgressMeter meter{size, FirstOffsetAbove(0, size)};
    Chain lanes[kBlockBytes];
    uint32_t pos = 0;
    while (pos < size) {
        while (pos < size && rom[pos] >= kFirstInvalidHeader) ++pos;
        if (pos >= size) break;
        Chain& lane = lanes[pos % kBlockBytes];
        if (pos < lane.start || pos >= lane.stop) lane = FollowChain(rom, size, pos);
        uint32_t span = lane.success ? lane.stop - pos : 0;
        pos = span < minRun ? pos + 1 : TakeRun(pos, lane.stop);
        ReportProgress(meter, pos);
    }
    app.scanPos = pos;
}

void ReportScanEnd() {
    LogPrint("\r\nFound %d samples.", app.foundCount);
    Platform& platform = CurrentPlatform();
    platform.EnableMenuCommand(IDM_SAVE_EACH, true);
    app.currentSample = 1;
    if (app.samplesWindow != nullptr) platform.SetSampleNumberEdit(1);
    ResetProgress();
    app.samplesReady = 1;
    if (app.foundCount == 0) platform.SendCommand(IDM_UNLOAD_ROM);
}

}  // namespace

void ScanRom() {
    if (!app.ripPending || app.romData == nullptr) return;
    app.lastProgressPercent = 0;
    FreeSamples();
    app.ripPending = 0;
    app.scanPos = 0;
    app.foundCount = 0;
    SearchImage();
    ReportScanEnd();
}

void SetRunObserver(RunObserver observer) { runObserver = observer; }
