// Checks, polling, the test's paths and files, and screenshots.
#include "e2e_support.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

namespace {

constexpr DWORD kPollStepMs = 20;

std::string scenarioName = "e2e";
HANDLE programUnderTest = nullptr;
bool failing = false;

std::string Format(const char* format, va_list args) {
    char buffer[8192];
    vsnprintf(buffer, sizeof buffer, format, args);
    return buffer;
}

std::string DriverDirectory() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.find_last_of('\\'));
}

void DeleteTree(const std::string& dir) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = dir + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}

std::map<std::string, std::string> ReadKeyValues(const std::string& path) {
    std::ifstream in(path);
    Check(in.good(), "cannot read %s", path.c_str());
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

}  // namespace

// ---------------------------------------------------------------------------
// Checks

void SetScenario(const std::string& name) { scenarioName = name; }

void SetProgramUnderTest(HANDLE process) { programUnderTest = process; }

void Fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = Format(format, args);
    va_end(args);
    fprintf(stderr, "FAIL [%s]: %s\n", scenarioName.c_str(), message.c_str());
    fflush(stderr);
    if (!failing) {
        failing = true;
        if (TakeScreenshot("e2e-failure-" + scenarioName))
            fprintf(stderr, "screenshot: %s/e2e-failure-%s.png\n", Paths().screenshots.c_str(), scenarioName.c_str());
    }
    if (programUnderTest) TerminateProcess(programUnderTest, 99);
    ExitProcess(1);
}

void Check(bool ok, const char* format, ...) {
    if (ok) return;
    va_list args;
    va_start(args, format);
    std::string message = Format(format, args);
    va_end(args);
    Fail("%s", message.c_str());
}

bool Poll(const std::function<bool()>& done) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start > kWaitLimitMs) return false;
        Sleep(kPollStepMs);
    }
}

void WaitUntil(const std::string& what, const std::function<bool()>& done) {
    if (!Poll(done)) Fail("timed out waiting for %s", what.c_str());
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Paths and files

const TestPaths& Paths() {
    static TestPaths paths;
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        std::string dir = DriverDirectory();
        auto values = ReadKeyValues(dir + "\\e2e-paths.txt");
        paths.voxtrawl = values["voxtrawl"];
        paths.data = values["data"];
        paths.demoRom = values["demo"];
        paths.screenshots = values["screenshots"];
        paths.probe = dir + "\\menu_probe.dll";
    }
    return paths;
}

std::string MakeWorkDir(const std::string& scenario) {
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    std::string root = std::string(temp) + "voxtrawl-e2e";
    CreateDirectoryA(root.c_str(), nullptr);
    std::string dir = root + "\\" + scenario;
    DeleteTree(dir);
    Check(CreateDirectoryA(dir.c_str(), nullptr) != 0, "cannot create %s", dir.c_str());
    return dir;
}

std::string CopyDataFile(const std::string& name, const std::string& dir) {
    std::string from = Paths().data + "\\" + name;
    std::string to = dir + "\\" + name;
    Check(CopyFileA(from.c_str(), to.c_str(), FALSE) != 0, "cannot copy %s to %s", from.c_str(), to.c_str());
    return to;
}

std::string ReferenceWav(int rate, int n) {
    return Paths().data + "\\ref-" + std::to_string(rate) + "\\" + std::to_string(n) + ".wav";
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Check(in.good(), "cannot read %s", path.c_str());
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int ExpectedCount(const std::string& rom, const std::string& key) {
    auto values = ReadKeyValues(Paths().data + "\\" + rom + ".expect");
    Check(values.count(key) == 1, "no %s in %s.expect", key.c_str(), rom.c_str());
    return std::stoi(values[key]);
}

void ExpectSameBytes(const std::string& actualPath, const std::vector<uint8_t>& expected) {
    Check(FileExists(actualPath), "%s was not written", actualPath.c_str());
    std::vector<uint8_t> actual = ReadFileBytes(actualPath);
    if (actual == expected) return;
    size_t common = std::min(actual.size(), expected.size());
    size_t at = std::mismatch(actual.begin(), actual.begin() + common, expected.begin()).first - actual.begin();
    Fail("%s: %u bytes, expected %u; first difference at offset %u", actualPath.c_str(),
         static_cast<unsigned>(actual.size()), static_cast<unsigned>(expected.size()), static_cast<unsigned>(at));
}

std::string SaveEachDirectory(const std::string& romPath) {
    size_t dot = romPath.find('.');
    if (dot == std::string::npos || dot == 0) return romPath + "_";
    return romPath.substr(0, dot);
}

bool TakeScreenshot(const std::string& name) {
    const std::string& dir = Paths().screenshots;
    if (dir.empty()) return false;
    std::string unixPath = dir + "/" + name + ".png";
    std::string windowsPath = "Z:" + unixPath;
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    DeleteFileA(windowsPath.c_str());
    // Wine runs a Unix program when asked to start one; GDI capture under
    // Xvfb comes out black, so the X server's own image is taken.
    std::string command = "/usr/bin/import -window root " + unixPath;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA("Z:\\usr\\bin\\import", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return false;
    if (info.hProcess) {
        WaitForSingleObject(info.hProcess, kWaitLimitMs);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    // import writes the file at its end: wait until it exists with a size
    // that no longer grows.
    LONGLONG lastSize = -1;
    return Poll([&] {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(windowsPath.c_str(), GetFileExInfoStandard, &data)) return false;
        LONGLONG size = (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        bool settled = size > 0 && size == lastSize;
        lastSize = size;
        return settled;
    });
}
