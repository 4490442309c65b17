// Arbitrary sequences of LogAppend, LogPrint and LogClear with texts of
// every size around the limits, checked against a model of the capped log
// and against the invariants the log promises after every append.
//
// Input: a list of operations, each an opcode byte followed by its
// parameters; a missing byte reads as 0.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/platform.h"
#include "fuzz/fuzz_check.h"
#include "tests/recording_platform.h"
#include "app/log.h"

namespace {

constexpr size_t kMaxOperations = 200;
constexpr size_t kFormattedLimit = kMessageBufferSize - 1;
// Sizes around every limit of the log, and a few ordinary ones.
constexpr size_t kPatternSizes[] = {0, 1, 2, 1998, 1999, 2000, 30000, 59999, 60000, 60001, 61999, 120001};

RecordingPlatform* platform = nullptr;

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data(data), size(size) {}
    bool AtEnd() const { return at >= size; }
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    unsigned Word() { return Byte() | Byte() << 8; }

private:
    const uint8_t* data;
    size_t size;
    size_t at = 0;
};

// Input bytes as text; 0 cannot be inside a C string, so it stands for a line feed.
std::string VerbatimText(Reader& in) {
    std::string text(in.Byte(), '\0');
    for (char& c : text) {
        uint8_t b = in.Byte();
        c = b == 0 ? '\n' : static_cast<char>(b);
    }
    return text;
}

// A long text of letters with a line feed (or "\r\n") every period characters.
std::string PatternText(Reader& in, size_t length) {
    unsigned period = in.Word();
    uint8_t style = in.Byte();
    std::string text(length, ' ');
    for (size_t i = 0; i < length; ++i) {
        bool feed = period != 0 && (i + style) % period == period - 1;
        text[i] = feed ? '\n' : static_cast<char>('a' + (i + style) % 26);
        if (feed && (style & 1) && i > 0) text[i - 1] = '\r';
    }
    return text;
}

// The log as its algorithm reads: the newest kLogCapacity characters of an
// overlong text; whole lines dropped from the top until the text fits.
void ModelAppend(std::string& model, std::string text) {
    if (text.size() > kLogCapacity) text.erase(0, text.size() - kLogCapacity);
    while (text.size() + model.size() > kLogCapacity) {
        size_t feed = model.find('\n');
        model.erase(0, feed == std::string::npos ? std::string::npos : feed + 1);
    }
    model += text;
}

void CheckPane(const std::string& log) {
    FUZZ_CHECK(platform->paneText == log);
    int lines = 1 + static_cast<int>(std::count(log.begin(), log.end(), '\n'));
    FUZZ_CHECK(platform->scrolledTo == std::max(0, lines - platform->LogVisibleLines()));
}

// After appending text to what the log held before: at most the capacity,
// only whole lines gone from the top, and the new text whole at the end.
void CheckAppend(const std::string& before, const std::string& text, const std::string& model) {
    const std::string log = LogText();
    FUZZ_CHECK(log == model);
    FUZZ_CHECK(log.size() <= kLogCapacity);
    CheckPane(log);
    if (text.size() > kLogCapacity) {
        FUZZ_CHECK(log == text.substr(text.size() - kLogCapacity));
        return;
    }
    const std::string history = before + text;
    FUZZ_CHECK(log.size() <= history.size());
    size_t cut = history.size() - log.size();
    FUZZ_CHECK(history.compare(cut, std::string::npos, log) == 0);
    FUZZ_CHECK(cut <= before.size());
    // A dropped first line ends at a line feed, or is all the old log had.
    FUZZ_CHECK(cut == 0 || cut == before.size() || history[cut - 1] == '\n');
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform = new RecordingPlatform();
    SetPlatform(platform);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    *platform = RecordingPlatform();
    LogClear();
    std::string model;
    Reader in(data, size);
    for (size_t op = 0; op < kMaxOperations && !in.AtEnd(); ++op) {
        const std::string before = LogText();
        FUZZ_CHECK(before == model);
        switch (in.Byte() % 4) {
        case 0:
            LogClear();
            model.clear();
            FUZZ_CHECK(*LogText() == '\0' && platform->paneText.empty());
            break;
        case 1: {
            std::string text = VerbatimText(in);
            LogAppend(text.c_str());
            ModelAppend(model, text);
            CheckAppend(before, text, model);
            break;
        }
        case 2: {
            size_t length = kPatternSizes[in.Byte() % std::size(kPatternSizes)];
            std::string text = PatternText(in, length);
            LogAppend(text.c_str());
            ModelAppend(model, text);
            CheckAppend(before, text, model);
            break;
        }
        default: {
            // A formatted message keeps its first 1999 characters.
            std::string text = PatternText(in, in.Word() % (2 * kMessageBufferSize));
            LogPrint("%s", text.c_str());
            std::string kept = text.substr(0, kFormattedLimit);
            ModelAppend(model, kept);
            CheckAppend(before, kept, model);
            break;
        }
        }
    }
    return 0;
}
