#include "app/scan_loop.h"

#include <string>

#include "app/app_state.h"
#include "app/memory.h"
#include "app/platform.h"
#include "app/res/resource.h"
#include "engine/brr/brr_decoder.h"
#include "engine/formats/wav_header.h"
#include "engine/log/log_sink.h"
#include "engine/scan/scanner.h"

namespace {

RunObserver runObserver = nullptr;

// A WAVE header fits in front of the PCM later without another copy.
constexpr uint32_t kHeaderRoom = kWavHeaderSize;

RunOutcome StoreDecodedSample(uint32_t size) {
    if (app.sampleCount < kMaxSamples) {
        app.sampleData[app.sampleCount] = app.decodeBuffer;
        app.sampleBytes[app.sampleCount] = size;
        app.decodeBuffer = nullptr;
        ++app.sampleCount;
        return RunOutcome::kStored;
    }
    FreeDecodeBuffer();
    LogPrint("\r\nMax of %d samples reached.", static_cast<int>(kMaxSamples));
    return RunOutcome::kTableFull;
}

// Decodes one qualifying run into the table and counts it.
void TakeRun(const FoundRun& run) {
    app.scanPos = run.start;
    app.runStart = run.start;
    app.runEnd = run.end;
    RunOutcome outcome = DecodeRun();
    ++app.foundCount;
    if (runObserver) runObserver(run.start, run.end, outcome);
}

void StepScanProgress(uint32_t scanPos, uint32_t percent) {
    app.scanPos = scanPos;
    StepProgress();
    app.lastProgressPercent = percent;
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
    app.scanPos = FindRuns(app.romData, app.romSize, static_cast<uint32_t>(app.minRunBytes), TakeRun, StepScanProgress);
    ReportScanEnd();
}

void SetRunObserver(RunObserver observer) { runObserver = observer; }

RunOutcome DecodeRun() {
    FreeDecodeBuffer();
    uint64_t wideSize = DecodedSize(app.runStart, app.runEnd);
    // A run of over a gigabyte decodes to more than a WAVE file can hold;
    // a 32-bit size would wrap and store a cut sample as if it were whole.
    if (wideSize > kMaxRunPcmBytes) {
        LogPrint("\r\nError allocating %s bytes.", std::to_string(wideSize).c_str());
        return RunOutcome::kNoMemory;
    }
    uint32_t size = static_cast<uint32_t>(wideSize);
    app.decodeBuffer = static_cast<int16_t*>(AllocBlock(static_cast<size_t>(size) + kHeaderRoom));
    if (!app.decodeBuffer) {
        LogPrint("\r\nError allocating %d bytes.", static_cast<int>(size));
        return RunOutcome::kNoMemory;
    }
    DecodeSpecRun(app.romData, app.runStart, app.runEnd, app.decodeBuffer, size / 2);
    return StoreDecodedSample(size);
}
