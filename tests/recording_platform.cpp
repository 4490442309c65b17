#include "tests/recording_platform.h"

#include "engine/formats/wav_header.h"
#include "engine/files/little_endian.h"

void RecordingPlatform::Dispatch(unsigned id) {
    commandsRun.push_back(id);
    HeadlessPlatform::Dispatch(id);
}

void RecordingPlatform::EnableMenuCommand(unsigned id, bool enabled) {
    HeadlessPlatform::EnableMenuCommand(id, enabled);
    menuCalls.emplace_back(id, enabled);
}

void RecordingPlatform::SetProgress(unsigned position) {
    HeadlessPlatform::SetProgress(position);
    progressHistory.push_back(progress);
}

void RecordingPlatform::StepProgressBar() {
    HeadlessPlatform::StepProgressBar();
    progressHistory.push_back(progress);
}

int RecordingPlatform::MessageBox(bool owned, const char* caption, unsigned type, const char* text) {
    boxes.push_back({owned, caption, type, text});
    if (boxAnswers.empty()) return defaultAnswer;
    int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
}

bool RecordingPlatform::ChooseRomToOpen(std::string& path) {
    ++openDialogs;
    if (openPaths.empty()) return false;
    path = openPaths.front();
    openPaths.pop_front();
    return !path.empty();
}

bool RecordingPlatform::ChooseWavToSave(const char* title, std::string& path) {
    saveTitles.push_back(title);
    if (savePaths.empty()) return false;
    path = savePaths.front();
    savePaths.pop_front();
    return !path.empty();
}

bool RecordingPlatform::PlaySound(const uint8_t* image, unsigned flags) {
    Sound sound{image == nullptr, flags, {}};
    if (image) {
        uint32_t dataBytes = GetLe32(image + 40);
        sound.image.assign(image, image + kWavHeaderSize + dataBytes);
    }
    sounds.push_back(std::move(sound));
    return image == nullptr || !soundFails;
}

void RecordingPlatform::ShowOptionsWindow() {
    ++optionsWindowShown;
    HeadlessPlatform::ShowOptionsWindow();
}

void RecordingPlatform::ShowSamplesWindow() {
    ++samplesWindowShown;
    HeadlessPlatform::ShowSamplesWindow();
}

void RecordingPlatform::SetSampleNumberEdit(uint32_t n) { sampleNumberEdits.push_back(n); }

uint32_t RecordingPlatform::TickCount() {
    uint32_t now = tick;
    tick += tickStep;
    return now;
}

void RecordingPlatform::CreateDirectory(const std::string& path) {
    directoriesCreated.push_back(path);
    HeadlessPlatform::CreateDirectory(path);
}
