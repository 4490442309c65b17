#include "tests/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/memory.h"
#include "engine/files/whole_file.h"
#include "engine/formats/wav_header.h"
#include "app/res/resource.h"
#include "app/about_help.h"
#include "app/log.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

void AppTest::SetUp() {
    SetPlatform(&platform);
    SetAllocGate(nullptr);
    SetWriteBudget(-1);
    ResetAppState();
    ResetAboutCount();
    LogClear();
    platform = RecordingPlatform();
    char pattern[] = "/tmp/voxtrawl-test-XXXXXX";
    tempDir = mkdtemp(pattern);
}

void AppTest::TearDown() {
    SetAllocGate(nullptr);
    SetWriteBudget(-1);
    ResetAppState();
    std::error_code ignored;
    std::filesystem::permissions(tempDir, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(tempDir, ignored);
}

std::string AppTest::WriteTempFile(const std::string& name, const Bytes& bytes) {
    std::string path = tempDir + "/" + name;
    WriteWholeFile(path, bytes);
    return path;
}

void AppTest::LoadAndRipBytes(const Bytes& rom, const std::string& name) {
    platform.openPaths.push_back(WriteTempFile(name, rom));
    platform.Run(IDM_LOAD_AND_RIP);
}

int AppTest::LogCount(const std::string& message) const {
    std::string log = LogText();
    int count = 0;
    for (size_t at = log.find(message); at != std::string::npos; at = log.find(message, at + 1)) {
        size_t after = at + message.size();
        if (after == log.size() || log[after] == '\r') ++count;
    }
    return count;
}

Bytes ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void AppendBlock(Bytes& out, uint8_t header, uint8_t data) {
    out.push_back(header);
    out.insert(out.end(), 8, data);
}

Bytes MakeRun(unsigned blocks, uint8_t header, uint8_t endHeader, uint8_t data) {
    Bytes run;
    for (unsigned i = 1; i < blocks; ++i) AppendBlock(run, header, data);
    AppendBlock(run, endHeader, data);
    return run;
}

Bytes Filler(size_t bytes) { return Bytes(bytes, 0xFE); }

void FakeRip(const std::string& romPath, const std::vector<uint32_t>& bytes) {
    FreeAll();
    app.romData = static_cast<uint8_t*>(AllocBlock(16));
    app.romSize = 16;
    app.romPath = romPath;
    for (size_t i = 0; i < bytes.size(); ++i) {
        auto* pcm = static_cast<int16_t*>(AllocBlock(bytes[i] + 44));
        for (uint32_t k = 0; k < bytes[i] / 2; ++k) pcm[k] = static_cast<int16_t>(k * 37 + i * 1000 - 20000);
        app.sampleData[i] = pcm;
        app.sampleBytes[i] = bytes[i];
    }
    app.sampleCount = static_cast<uint32_t>(bytes.size());
    app.samplesReady = 1;
}

namespace {

AllocFaults armedFaults;
std::vector<size_t> allocRequests;
size_t sizeMatches = 0;

bool CountingGate(size_t bytes) {
    allocRequests.push_back(bytes);
    size_t n = allocRequests.size();
    if (n == armedFaults.failAt) return false;
    if (armedFaults.failFrom != 0 && n >= armedFaults.failFrom) return false;
    if (armedFaults.failSizeAt != 0 && bytes == armedFaults.failSize && ++sizeMatches == armedFaults.failSizeAt)
        return false;
    return true;
}

}  // namespace

void CountAllocations(const AllocFaults& faults) {
    armedFaults = faults;
    allocRequests.clear();
    sizeMatches = 0;
    SetAllocGate(CountingGate);
}

const std::vector<size_t>& AllocationRequests() { return allocRequests; }

Bytes ExpectedWav(unsigned first, unsigned count) {
    uint32_t total = 0;
    for (unsigned i = first; i < first + count; ++i) total += app.sampleBytes[i];
    WavHeader header = BuildWavHeader(total, app.frequency);
    Bytes wav(header.begin(), header.end());
    for (unsigned i = first; i < first + count; ++i) {
        const auto* pcm = reinterpret_cast<const uint8_t*>(app.sampleData[i]);
        wav.insert(wav.end(), pcm, pcm + app.sampleBytes[i]);
    }
    return wav;
}

UnprivilegedRun RunUnprivileged(const std::function<std::string()>& check) {
    UnprivilegedRun result;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        result.failure = "no pipe to the child";
        return result;
    }
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        // 'D' once the user is taken, then the check's text; 'N' when it cannot be.
        bool dropped = geteuid() != 0 ||
                       (setgroups(0, nullptr) == 0 && setgid(kNobodyId) == 0 && setuid(kNobodyId) == 0);
        ssize_t ignored = write(pipeFds[1], dropped ? "D" : "N", 1);
        if (dropped) {
            std::string text = check();
            ignored = write(pipeFds[1], text.data(), text.size());
        }
        (void)ignored;
        _exit(0);
    }
    close(pipeFds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    bool finished = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status);
    result.ran = !text.empty() && text[0] == 'D';
    if (!result.ran)
        result.failure = "cannot take the user nobody (" + std::to_string(kNobodyId) + ")";
    else if (!finished)
        result.failure = "the child did not finish; it said: " + text.substr(1);
    else
        result.failure = text.substr(1);
    return result;
}
