#include "ui/headless/headless_platform.h"

#include <algorithm>
#include <cstring>

#include "core/app_state.h"
#include "core/file_system.h"
#include "core/scanner.h"
#include "output/wav_header.h"
#include "ui/commands.h"

namespace {

// Stands in for a window handle while a headless modeless window is "open".
int headlessWindowToken;

// Reads the 32-bit little-endian field at offset of a WAVE header.
uint32_t ReadLe32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

void HeadlessPlatform::RunUntilIdle() {
    while (!quitPosted) {
        if (!queue.empty()) {
            unsigned id = queue.front();
            queue.pop_front();
            commandsRun.push_back(id);
            RunCommand(id);
        } else if (app.ripPending) {
            ScanRom();
        } else {
            break;
        }
    }
}

void HeadlessPlatform::Run(unsigned id) {
    PostCommand(id);
    RunUntilIdle();
}

void HeadlessPlatform::EnableMenuCommand(unsigned id, bool enabled) {
    menuEnabled[id] = enabled;
    menuCalls.emplace_back(id, enabled);
}

void HeadlessPlatform::SetProgress(unsigned position) {
    progress = position > 100 ? 100 : position;
    progressHistory.push_back(progress);
}

void HeadlessPlatform::StepProgressBar() {
    // The bar wraps to its start when stepped past its end, as the real one does.
    progress = progress + 1 > 100 ? 0 : progress + 1;
    progressHistory.push_back(progress);
}

void HeadlessPlatform::SetLogText(const char* text) {
    paneText = text;
    scrolledTo = 0;
}

int HeadlessPlatform::LogLineCount() {
    return 1 + static_cast<int>(std::count(paneText.begin(), paneText.end(), '\n'));
}

void HeadlessPlatform::ScrollLog(int lines) {
    scrolledTo += lines;
    if (scrolledTo < 0) scrolledTo = 0;
}

int HeadlessPlatform::MessageBox(bool owned, const char* caption, unsigned type, const char* text) {
    boxes.push_back({owned, caption, type, text});
    if (boxAnswers.empty()) return defaultAnswer;
    int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
}

bool HeadlessPlatform::ChooseRomToOpen(std::string& path) {
    ++openDialogs;
    if (openPaths.empty()) return false;
    path = openPaths.front();
    openPaths.pop_front();
    return !path.empty();
}

bool HeadlessPlatform::ChooseWavToSave(const char* title, std::string& path) {
    saveTitles.push_back(title);
    if (savePaths.empty()) return false;
    path = savePaths.front();
    savePaths.pop_front();
    return !path.empty();
}

bool HeadlessPlatform::PlaySound(const uint8_t* image, unsigned flags) {
    Sound sound{image == nullptr, flags, {}};
    if (image) {
        uint32_t dataBytes = ReadLe32(image + 40);
        sound.image.assign(image, image + kWavHeaderSize + dataBytes);
    }
    sounds.push_back(std::move(sound));
    return image == nullptr || !soundFails;
}

void HeadlessPlatform::PostCommand(unsigned id) { queue.push_back(id); }

void HeadlessPlatform::SendCommand(unsigned id) {
    commandsRun.push_back(id);
    RunCommand(id);
}

void HeadlessPlatform::PostQuit() { quitPosted = true; }

void HeadlessPlatform::ShowOptionsWindow() {
    ++optionsWindowShown;
    app.optionsWindow = &headlessWindowToken;
}

void HeadlessPlatform::ShowSamplesWindow() {
    ++samplesWindowShown;
    app.samplesWindow = &headlessWindowToken;
}

void HeadlessPlatform::SetSampleNumberEdit(uint32_t n) { sampleNumberEdits.push_back(n); }

uint32_t HeadlessPlatform::TickCount() {
    uint32_t now = tick;
    tick += tickStep;
    return now;
}

void HeadlessPlatform::CreateDirectory(const std::string& path) {
    directoriesCreated.push_back(path);
    MakeDirectory(path);
}
