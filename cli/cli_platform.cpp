#include "cli/cli_platform.h"

#include <unistd.h>

#include <cstdio>

#include "core/platform.h"

namespace {

constexpr int kBarWidth = 40;

std::string WithoutCarriageReturns(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p)
        if (*p != '\r') out += *p;
    return out;
}

}  // namespace

CliPlatform::CliPlatform(bool echoLog) : echoLog(echoLog), drawBar(isatty(STDERR_FILENO) == 1) {}

void CliPlatform::Finish() {
    EraseBar();
    std::fflush(stdout);
}

bool CliPlatform::LoggedSince(size_t from, const std::string& prefix) const {
    for (size_t i = from; i < logged.size(); ++i)
        if (logged[i].compare(0, prefix.size(), prefix) == 0) return true;
    return false;
}

void CliPlatform::LogAppended(const char* text) {
    logged.emplace_back(text);
    if (!echoLog) return;
    std::string line = WithoutCarriageReturns(text);
    size_t from = 0;
    // Every message opens with a line break: the first one would leave an
    // empty line at the top, and the others were already printed.
    if ((breakPrinted || !printedAny) && !line.empty() && line[0] == '\n') from = 1;
    breakPrinted = false;
    printedAny = true;
    if (from == line.size()) return;
    EraseBar();
    std::fwrite(line.data() + from, 1, line.size() - from, stdout);
    breakPrinted = line.back() != '\n';
    if (breakPrinted) std::fputc('\n', stdout);
    std::fflush(stdout);
}

int CliPlatform::MessageBox(bool /*owned*/, const char* caption, unsigned type, const char* text) {
    ++boxesShown;
    EraseBar();
    std::string body = text;
    while (!body.empty() && body.back() == '\n') body.pop_back();
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", caption, body.c_str());
    // Nobody is there to press Retry: give up on the file, or acknowledge.
    return type == kMbRetryCancelStop ? kIdCancel : kIdOk;
}

void CliPlatform::SetProgress(unsigned position) {
    HeadlessPlatform::SetProgress(position);
    if (progress == 0) EraseBar();
    else DrawBar();
}

void CliPlatform::StepProgressBar() {
    HeadlessPlatform::StepProgressBar();
    DrawBar();
}

bool CliPlatform::ChooseRomToOpen(std::string& /*path*/) { return false; }

bool CliPlatform::ChooseWavToSave(const char* /*title*/, std::string& path) {
    path = saveAnswer;
    return !path.empty();
}

void CliPlatform::DrawBar() {
    if (!drawBar) return;
    int filled = static_cast<int>(progress) * kBarWidth / 100;
    std::fflush(stdout);
    std::fprintf(stderr, "\r[%s%s] %3u%%", std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, ' ').c_str(), progress);
    std::fflush(stderr);
    barShown = true;
}

void CliPlatform::EraseBar() {
    if (!barShown) return;
    std::fprintf(stderr, "\r%*s\r", kBarWidth + 7, "");
    std::fflush(stderr);
    barShown = false;
}
