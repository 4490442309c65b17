// Load & Rip through the open dialog: Cancel, a 0-byte file, a file that
// cannot be opened (Retry, Cancel, then Retry once it can), each time with
// the earlier ROM still in place until a load succeeds.
#include <windows.h>

#include "command_ids.h"
#include "e2e_support.h"
#include "scenarios.h"

namespace {

constexpr char kOpenTitle[] = "Open a Damn File!";
constexpr char kCantLoad[] = "Can't Load Rom...!";

void ChooseRom(Program& program, const std::string& path) {
    program.Post(kLoadAndRip);
    ChooseFileInDialog(program.Main(), kOpenTitle, path);
}

std::string CantLoadText(const std::string& path) {
    return "Here I sit all broken hearted,\ntried to load your rom,\n\nBut only farted.\n\n\n...Couldn't load " + path +
           ".";
}

// The earlier ROM is still loaded and ripped.
void ExpectRomKept(Program& program) {
    program.ExpectLogUnchanged();
    program.ExpectMenus({kUnload, kSaveAllOneFile, kSaveEach}, true);
}

}  // namespace

void RunLoadFailures() {
    std::string dir = MakeWorkDir("load_failures");
    std::string rom = CopyDataFile("crafted.sfc", dir);
    std::string empty = CopyDataFile("empty.sfc", dir);
    std::string locked = dir + "\\locked.sfc";
    Check(CopyFileA(rom.c_str(), locked.c_str(), FALSE) != 0, "cannot copy %s", locked.c_str());
    int count = ExpectedCount("crafted", "samples");

    Program program(rom);
    ExpectStartedWithRom(program, rom, count);

    program.Post(kLoadAndRip);
    CancelFileDialog(program.Main(), kOpenTitle);
    ExpectRomKept(program);

    ChooseRom(program, empty);
    HWND box = ExpectBox(program.Main(), "Ahem...",
                         empty + " is 0 bytes!  Bet you didn't\nthink I knew that or something...\n", {IDOK});
    AnswerBox(box, IDOK);
    ExpectRomKept(program);

    // Held open without sharing, the file exists but cannot be read.
    HANDLE hold = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Check(hold != INVALID_HANDLE_VALUE, "cannot hold %s open", locked.c_str());
    ChooseRom(program, locked);
    box = ExpectBox(program.Main(), kCantLoad, CantLoadText(locked), {IDRETRY, IDCANCEL});
    AnswerBox(box, IDRETRY);
    box = ExpectBox(program.Main(), kCantLoad, CantLoadText(locked), {IDRETRY, IDCANCEL});
    AnswerBox(box, IDCANCEL);
    ExpectRomKept(program);

    // Released while the box waits, Retry loads it in place of the first ROM.
    ChooseRom(program, locked);
    box = ExpectBox(program.Main(), kCantLoad, CantLoadText(locked), {IDRETRY, IDCANCEL});
    CloseHandle(hold);
    AnswerBox(box, IDRETRY);
    ExpectLoadAndRip(program, locked, "\r\n" + rom + " freed", count);
    program.ExpectMenus({kUnload, kSaveAllOneFile, kSaveEach}, true);

    program.Send(kExit);
    program.ExpectExitCodeZero();
}
