#include "app/headless/headless_platform.h"

#include <algorithm>
#include <chrono>

#include "app/app_state.h"
#include "engine/files/file_system.h"
#include "engine/scan/scanner.h"
#include "app/scan_loop.h"
#include "app/commands.h"
#include "app/log.h"

namespace {

// Stands in for a window handle while a headless modeless window is "open".
int headlessWindowToken;

}  // namespace

HeadlessPlatform::HeadlessPlatform() { InstallLogPane(); }

void HeadlessPlatform::RunUntilIdle() {
    while (!quitPosted) {
        if (!queue.empty()) {
            unsigned id = queue.front();
            queue.pop_front();
            Dispatch(id);
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

void HeadlessPlatform::Dispatch(unsigned id) { RunCommand(id); }

void HeadlessPlatform::EnableMenuCommand(unsigned id, bool enabled) { menuEnabled[id] = enabled; }

void HeadlessPlatform::SetProgress(unsigned position) { progress = position > 100 ? 100 : position; }

void HeadlessPlatform::StepProgressBar() {
    // The bar wraps to its start when stepped past its end, as the real one does.
    progress = progress + 1 > 100 ? 0 : progress + 1;
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

bool HeadlessPlatform::PlaySound(const uint8_t* image, unsigned /*flags*/) { return image == nullptr; }

void HeadlessPlatform::PostCommand(unsigned id) { queue.push_back(id); }

void HeadlessPlatform::SendCommand(unsigned id) { Dispatch(id); }

void HeadlessPlatform::PostQuit() { quitPosted = true; }

void HeadlessPlatform::ShowOptionsWindow() { app.optionsWindow = &headlessWindowToken; }

void HeadlessPlatform::ShowSamplesWindow() { app.samplesWindow = &headlessWindowToken; }

// There is no number edit to write into.
void HeadlessPlatform::SetSampleNumberEdit(uint32_t /*n*/) {}

uint32_t HeadlessPlatform::TickCount() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void HeadlessPlatform::CreateDirectory(const std::string& path) {
    MakeDirectory(path);
}
