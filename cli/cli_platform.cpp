#include "cli/cli_platform.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "cli/paths.h"
#include "cli/standard_output.h"
#include "app/platform.h"

namespace {

constexpr int kBarWidth = 40;

std::string WithoutCarriageReturns(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p)
        if (*p != '\r') out += *p;
    return out;
}

}  // namespace

CliPlatform::CliPlatform(std::FILE* logTo) : logTo(logTo), drawBar(isatty(STDERR_FILENO) == 1) {}

void CliPlatform::Finish() {
    EraseBar();
    FlushOut();
}

void CliPlatform::LogAppended(const char* text) {
    if (!logTo) return;
    std::string line = WithoutCarriageReturns(text);
    size_t from = 0;
    // Every message opens with a line break: the first one would leave an
    // empty line at the top, and the others were already printed.
    if ((breakPrinted || !printedAny) && !line.empty() && line[0] == '\n') from = 1;
    breakPrinted = false;
    printedAny = true;
    if (from == line.size()) return;
    EraseBar();
    breakPrinted = line.back() != '\n';
    if (breakPrinted) line += '\n';
    if (logTo == stdout) {
        WriteOut(line.data() + from, line.size() - from);
        FlushOut();
    } else {
        std::fwrite(line.data() + from, 1, line.size() - from, logTo);
        std::fflush(logTo);
    }
}

int CliPlatform::MessageBox(bool /*owned*/, const char* caption, unsigned type, const char* text) {
    EraseBar();
    std::string body = text;
    while (!body.empty() && body.back() == '\n') body.pop_back();
    // The box's own line breaks stay; any other control character (from a
    // file name) is shown escaped.
    std::string shown;
    std::string input = ShownText(currentInput);
    // Marks the input's name so that its line breaks are not taken for the box's.
    const std::string mark = "\x01input\x01";
    for (size_t at = 0; !currentInput.empty() && (at = body.find(currentInput, at)) != std::string::npos;
         at += mark.size())
        body.replace(at, currentInput.size(), mark);
    size_t start = 0;
    for (size_t feed; (feed = body.find('\n', start)) != std::string::npos; start = feed + 1)
        shown += ShownText(body.substr(start, feed - start)) + "\n";
    shown += ShownText(body.substr(start));
    for (size_t at; (at = shown.find("\\x01input\\x01")) != std::string::npos;)
        shown.replace(at, std::strlen("\\x01input\\x01"), input);
    FlushOut();
    std::fprintf(stderr, "%s: %s\n", caption, shown.c_str());
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
    FlushOut();
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
