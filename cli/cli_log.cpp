#include "cli/cli_log.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "cli/standard_output.h"
#include "engine/log/log_sink.h"
#include "engine/log/shown_text.h"

namespace {

constexpr int kBarWidth = 40;

// The log the engine's sink prints to.
CliLog* current = nullptr;

void AppendToCurrent(const char* text) {
    if (current) current->Print(text);
}

std::string WithoutCarriageReturns(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p)
        if (*p != '\r') out += *p;
    return out;
}

}  // namespace

CliLog::CliLog(std::FILE* logTo) : logTo(logTo), drawBar(isatty(STDERR_FILENO) == 1) {
    current = this;
    LogSink sink;
    sink.append = AppendToCurrent;
    SetLogSink(sink);
}

CliLog::~CliLog() {
    Finish();
    SetLogSink(LogSink());
    current = nullptr;
}

void CliLog::Finish() {
    EraseBar();
    FlushOut();
}

void CliLog::Print(const char* text) {
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

void CliLog::PrintBox(const std::string& caption, const std::string& text, const std::string& input) {
    EraseBar();
    std::string body = text;
    while (!body.empty() && body.back() == '\n') body.pop_back();
    // The box's own line breaks stay; any other control character (from a
    // file name) is shown escaped.
    std::string shown;
    std::string shownInput = ShownText(input);
    // Marks the input's name so that its line breaks are not taken for the box's.
    const std::string mark = "\x01input\x01";
    for (size_t at = 0; !input.empty() && (at = body.find(input, at)) != std::string::npos; at += mark.size())
        body.replace(at, input.size(), mark);
    size_t start = 0;
    for (size_t feed; (feed = body.find('\n', start)) != std::string::npos; start = feed + 1)
        shown += ShownText(body.substr(start, feed - start)) + "\n";
    shown += ShownText(body.substr(start));
    for (size_t at; (at = shown.find("\\x01input\\x01")) != std::string::npos;)
        shown.replace(at, std::strlen("\\x01input\\x01"), shownInput);
    FlushOut();
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), shown.c_str());
}

void CliLog::Progress(uint32_t percent) {
    progress = percent > 100 ? 100 : percent;
    DrawBar();
}

void CliLog::DrawBar() {
    if (!drawBar) return;
    int filled = static_cast<int>(progress) * kBarWidth / 100;
    FlushOut();
    std::fprintf(stderr, "\r[%s%s] %3u%%", std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, ' ').c_str(), progress);
    std::fflush(stderr);
    barShown = true;
}

void CliLog::EraseBar() {
    if (!barShown) return;
    std::fprintf(stderr, "\r%*s\r", kBarWidth + 7, "");
    std::fflush(stderr);
    barShown = false;
}
