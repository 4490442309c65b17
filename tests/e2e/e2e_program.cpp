// The program under test: start, commands, log, menu states and exit.
#include "e2e_support.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>

namespace {

constexpr char kMainClass[] = "Quaver Gizmo Class";
constexpr char kProbeModule[] = "menu_probe.dll";

// Matches `text` against a pattern whose "{digits}" and "{line}" stand for
// one or more digits and for one or more characters of a line.
bool MatchesPattern(const std::string& text, const std::string& pattern) {
    size_t t = 0, p = 0;
    while (p < pattern.size()) {
        size_t open = pattern.find('{', p);
        std::string literal = pattern.substr(p, open == std::string::npos ? std::string::npos : open - p);
        if (text.compare(t, literal.size(), literal) != 0) return false;
        t += literal.size();
        if (open == std::string::npos) break;
        size_t close = pattern.find('}', open);
        std::string hole = pattern.substr(open + 1, close - open - 1);
        size_t start = t;
        if (hole == "digits")
            while (t < text.size() && isdigit(static_cast<unsigned char>(text[t]))) ++t;
        else
            while (t < text.size() && text[t] != '\r' && text[t] != '\n') ++t;
        if (t == start) return false;
        p = close + 1;
    }
    return t == text.size();
}

struct MainSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<MainSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->processId && IsWindowVisible(window) && ClassOf(window) == kMainClass) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Where the process has loaded the module of that file name; 0 when it has not.
uintptr_t ModuleBase(DWORD processId, const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    Check(snapshot != INVALID_HANDLE_VALUE, "cannot list the program's modules (error %lu)", GetLastError());
    MODULEENTRY32 module = {};
    module.dwSize = sizeof module;
    uintptr_t base = 0;
    for (BOOL more = Module32First(snapshot, &module); more && !base; more = Module32Next(snapshot, &module))
        if (lstrcmpiA(module.szModule, name) == 0) base = reinterpret_cast<uintptr_t>(module.modBaseAddr);
    CloseHandle(snapshot);
    return base;
}

}  // namespace

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

Program::Program(const std::string& tail) {
    std::string exe = Paths().voxtrawl;
    std::string commandLine = Quoted(exe) + (tail.empty() ? "" : " " + tail);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    Check(CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &info_) != 0,
          "cannot start %s (error %lu)", exe.c_str(), GetLastError());
    SetProgramUnderTest(info_.hProcess);
    WaitForInputIdle(info_.hProcess, kWaitLimitMs);
    MainSearch search{info_.dwProcessId, nullptr};
    WaitUntil("the main window", [&] {
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    main_ = search.found;
    log_ = FindWindowExA(main_, nullptr, "Edit", nullptr);
    Check(log_ != nullptr, "the main window has no log pane");
}

Program::~Program() {
    if (!exited_) {
        TerminateProcess(info_.hProcess, 98);
        SetProgramUnderTest(nullptr);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

HWND Program::Child(const char* className) const { return FindWindowExA(main_, nullptr, className, nullptr); }

void Program::Send(unsigned id) {
    DWORD_PTR result = 0;
    Check(SendMessageTimeoutA(main_, WM_COMMAND, id, 0, SMTO_NORMAL, kSendTimeoutMs, &result) != 0,
          "command %u was not handled", id);
}

void Program::Post(unsigned id) { PostMessageA(main_, WM_COMMAND, id, 0); }

void Program::Sync() {
    DWORD_PTR result = 0;
    Check(SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &result) != 0,
          "the main window does not answer");
}

std::string Program::Log() const { return WindowText(log_); }

void Program::ExpectLog(const std::string& text) {
    std::string expected = baseline_ + text;
    std::string actual;
    if (!Poll([&] { return (actual = Log()) == expected; }))
        Fail("log after \"%s\":\n  expected \"%s\"\n  actual   \"%s\"", Escaped(baseline_).c_str(),
             Escaped(text).c_str(), Escaped(actual.substr(std::min(actual.size(), baseline_.size()))).c_str());
    baseline_ = expected;
}

void Program::ExpectLogPattern(const std::string& pattern, const std::string& ending) {
    std::string actual;
    auto complete = [&] {
        actual = Log();
        return actual.size() >= baseline_.size() + ending.size() &&
               actual.compare(actual.size() - ending.size(), ending.size(), ending) == 0;
    };
    if (!Poll(complete))
        Fail("log never ended with \"%s\"; it holds \"%s\"", Escaped(ending).c_str(), Escaped(actual).c_str());
    Check(actual.compare(0, baseline_.size(), baseline_) == 0, "the log lost its earlier text: \"%s\"",
          Escaped(actual).c_str());
    std::string added = actual.substr(baseline_.size());
    Check(MatchesPattern(added, pattern), "log added \"%s\", expected the pattern \"%s\"", Escaped(added).c_str(),
          Escaped(pattern).c_str());
    baseline_ = actual;
}

void Program::ExpectLogUnchanged() {
    Sync();
    std::string actual = Log();
    Check(actual == baseline_, "the log changed: added \"%s\"",
          Escaped(actual.substr(std::min(actual.size(), baseline_.size()))).c_str());
}

unsigned Program::MenuState(unsigned id) {
    // Wine answers GetMenuState only inside the menu's process, so the probe
    // DLL is loaded into the program and called from a remote thread.
    auto runRemote = [&](uintptr_t start, void* param) {
        HANDLE thread = CreateRemoteThread(info_.hProcess, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start),
                                           param, 0, nullptr);
        Check(thread != nullptr, "cannot start a thread in the program (error %lu)", GetLastError());
        Check(WaitForSingleObject(thread, kWaitLimitMs) == WAIT_OBJECT_0, "the probe thread did not end");
        DWORD code = 0;
        GetExitCodeThread(thread, &code);
        CloseHandle(thread);
        return code;
    };
    if (!probeFunction_) {
        const std::string& dll = Paths().probe;
        HMODULE local = LoadLibraryA(dll.c_str());
        Check(local != nullptr, "cannot load %s", dll.c_str());
        uintptr_t offset =
            reinterpret_cast<uintptr_t>(GetProcAddress(local, "ProbeMenuState")) - reinterpret_cast<uintptr_t>(local);
        void* remoteName = VirtualAllocEx(info_.hProcess, nullptr, dll.size() + 1, MEM_COMMIT, PAGE_READWRITE);
        Check(remoteName && WriteProcessMemory(info_.hProcess, remoteName, dll.c_str(), dll.size() + 1, nullptr),
              "cannot write into the program");
        auto loadLibrary = reinterpret_cast<uintptr_t>(GetProcAddress(GetModuleHandleA("kernel32"), "LoadLibraryA"));
        // The thread's exit code holds only the low 32 bits of the module
        // handle, so the base comes from the program's module list.
        runRemote(loadLibrary, remoteName);
        uintptr_t remoteBase = ModuleBase(info_.dwProcessId, kProbeModule);
        Check(remoteBase != 0, "the program could not load the probe DLL");
        probeFunction_ = remoteBase + offset;
    }
    return runRemote(probeFunction_, reinterpret_cast<void*>(static_cast<uintptr_t>(id)));
}

void Program::ExpectMenus(std::initializer_list<unsigned> ids, bool enabled) {
    for (unsigned id : ids) {
        unsigned state = MenuState(id);
        Check(state != 0xFFFFFFFFu, "menu item %u not found", id);
        bool isEnabled = (state & (MF_GRAYED | MF_DISABLED)) == 0;
        Check(isEnabled == enabled, "menu item %u is %s (state 0x%x), expected %s", id,
              isEnabled ? "enabled" : "grayed", state, enabled ? "enabled" : "grayed");
    }
}

int Program::ProgressPosition() const { return static_cast<int>(SendTo(Child(PROGRESS_CLASSA), PBM_GETPOS)); }

int Program::WaitForExit() {
    Check(WaitForSingleObject(info_.hProcess, kWaitLimitMs) == WAIT_OBJECT_0, "the program did not exit");
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    exited_ = true;
    SetProgramUnderTest(nullptr);
    return static_cast<int>(code);
}

void Program::ExpectExitCodeZero() {
    int code = WaitForExit();
    Check(code == 0, "exit code %d", code);
}

namespace {

const std::string kWelcomePattern = "Welcome to VOXTRAWL!\r\nComments/bugs/etc. to {line}\r\n\r\n";

std::string FoundLine(int samples) { return "\r\nFound " + std::to_string(samples) + " samples."; }

std::string LoadPattern(const std::string& path, const std::string& prefix, int samples) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    Check(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) != 0, "no file %s", path.c_str());
    return "\r\nYay!" + prefix + "\r\nROM " + path + " loaded ok.\r\n\r\nStats:\r\n" +
           std::to_string(data.nFileSizeLow) + " bytes\r\nTook {digits} milliseconds\r\nSearching ROM for samples..." +
           FoundLine(samples);
}

}  // namespace

void ExpectWelcome(Program& program) { program.ExpectLogPattern(kWelcomePattern, "\r\n\r\n"); }

void ExpectStartedWithRom(Program& program, const std::string& path, int samples) {
    program.ExpectLogPattern(kWelcomePattern + LoadPattern(path, "", samples), FoundLine(samples));
}

void ExpectLoadAndRip(Program& program, const std::string& path, const std::string& prefix, int samples) {
    program.ExpectLogPattern(LoadPattern(path, prefix, samples), FoundLine(samples));
}
