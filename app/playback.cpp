#include "app/playback.h"

#include <cstring>

#include "app/app_state.h"
#include "app/memory.h"
#include "app/platform.h"
#include "app/save.h"
#include "engine/formats/wav_header.h"
#include "app/res/resource.h"
#include "engine/log/log_sink.h"

namespace {

// Shows the current number in the Samples window, if it is open.
void ShowCurrentInSamplesWindow() {
    if (app.samplesWindow) CurrentPlatform().SetSampleNumberEdit(app.currentSample);
}

// Builds the WAVE image of slot s in a fresh play buffer; false when out of memory.
bool FillPlayBuffer(unsigned s) {
    uint32_t bytes = app.sampleBytes[s];
    app.playBuffer = static_cast<uint8_t*>(AllocBlock(size_t{bytes} + kWavHeaderSize));
    if (!app.playBuffer) return false;
    std::memcpy(app.playBuffer, BuildWavHeader(bytes, app.frequency).data(), kWavHeaderSize);
    std::memcpy(app.playBuffer + kWavHeaderSize, app.sampleData[s], bytes);
    return true;
}

}  // namespace

void PlayCurrent() {
    if (!app.samplesReady) {
        LogPrint("\r\n\r\nBefore you can play samples, you must load a rom and select \"Rip to Pieces.\"");
        return;
    }
    if (app.currentSample - 1 == app.sampleCount) {
        LogPrint("\r\nInvalid sample number.");
        LogPrint("\r\nLast sample is %d", static_cast<int>(app.sampleCount));
        return;
    }
    unsigned s = app.currentSample - 1;
    // Past the table's end there is no slot to look at; that is "nothing" too.
    if (s >= kMaxSamples || !app.sampleData[s]) {
        LogPrint("\r\nNothing to play.");
        return;
    }
    // The player may still read the old buffer: stop it before freeing.
    ReleasePlayBuffer();
    if (!FillPlayBuffer(s)) {
        LogPrint("\r\nOut of memory.");
        return;
    }
    unsigned flags = app.loopPlayback ? kSndPlayLooped : kSndPlayOnce;
    if (!CurrentPlatform().PlaySound(app.playBuffer, flags)) LogPrint("\r\nError playing sound.");
    if (app.currentSample < app.sampleCount) {
        ++app.currentSample;
    } else {
        LogPrint("\r\nThis is the last sample.");
    }
    ShowCurrentInSamplesWindow();
}

void StopSound() { CurrentPlatform().PlaySound(nullptr, kSndStop); }

void NextSample() {
    if (app.currentSample < app.sampleCount) {
        ++app.currentSample;
        ShowCurrentInSamplesWindow();
        LogPrint("\r\nNow on %d of %d.", static_cast<int>(app.currentSample), static_cast<int>(app.sampleCount));
    } else {
        LogPrint("\r\nAlready on last sample.");
    }
}

void PreviousSample() {
    if (app.currentSample >= 2) {
        --app.currentSample;
        ShowCurrentInSamplesWindow();
        LogPrint("\r\nNow on %d of %d.", static_cast<int>(app.currentSample), static_cast<int>(app.sampleCount));
    } else {
        LogPrint("\r\nAlready on first sample.");
    }
}

void FirstSample() {
    if (app.currentSample == 1) {
        LogPrint("\r\nAlready on first sample.");
        return;
    }
    app.currentSample = 1;
    ShowCurrentInSamplesWindow();
    LogPrint("\r\nRewound back to sample 1.");
}

void UnloadFromToolbar() { CurrentPlatform().SendCommand(IDM_UNLOAD_ROM); }

void SaveCurrentCommand() {
    if (app.sampleCount == 0) {
        LogPrint("\r\n\r\nIn order to save the current sample, you must load a rom, select \"Rip to Pieces,\" fast "
                 "forward to the sample you want, then select this.");
        return;
    }
    if (app.currentSample < 1 || app.currentSample > app.sampleCount) {
        LogPrint("\r\nInvalid sample # selected.");
        return;
    }
    SaveCurrentSample();
}

void ReleasePlayBuffer() {
    StopSound();
    FreeBlock(app.playBuffer);
    app.playBuffer = nullptr;
}
