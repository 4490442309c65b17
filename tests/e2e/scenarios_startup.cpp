// Start-up with and without a ROM on the command line, and the two ways out.
#include <windows.h>
#include <commctrl.h>

#include "command_ids.h"
#include "e2e_support.h"
#include "scenarios.h"

namespace {

constexpr int kToolbarEntries = 15;  // eight separators and seven buttons

void ExpectRomMenus(Program& program, bool enabled) {
    program.ExpectMenus({kUnload, kSaveAllOneFile, kSaveEach}, enabled);
}

// Range 0..100, and back at 0 once a scan has ended.
void ExpectProgressBarAtRest(Program& program) {
    HWND bar = program.Child(PROGRESS_CLASSA);
    Check(bar != nullptr, "no progress bar");
    Check(SendTo(bar, PBM_GETRANGE, TRUE) == 0 && SendTo(bar, PBM_GETRANGE, FALSE) == 100,
          "the progress bar's range is not 0..100");
    Check(program.ProgressPosition() == 0, "the progress bar stands at %d", program.ProgressPosition());
}

void ExpectToolbarEnabled(Program& program) {
    HWND toolbar = program.Child(TOOLBARCLASSNAMEA);
    Check(toolbar != nullptr, "no toolbar");
    Check(SendTo(toolbar, TB_BUTTONCOUNT) == kToolbarEntries, "the toolbar has %d entries",
          static_cast<int>(SendTo(toolbar, TB_BUTTONCOUNT)));
    for (unsigned id = kPlay; id <= kSaveCurrent; ++id)
        Check(SendTo(toolbar, TB_ISBUTTONENABLED, id) != 0, "toolbar button %u is disabled", id);
}

}  // namespace

void RunStartup() {
    std::string rom = CopyDataFile("crafted.sfc", MakeWorkDir("startup"));
    {
        // A path on the command line is loaded and ripped at once.
        Program program(rom);
        ExpectStartedWithRom(program, rom, ExpectedCount("crafted", "samples"));
        ExpectRomMenus(program, true);
        ExpectProgressBarAtRest(program);
        ExpectToolbarEnabled(program);

        program.Send(kUnload);
        program.ExpectLog("\r\nROM " + rom + " freed from memory.");
        ExpectRomMenus(program, false);
        program.Send(kUnload);
        program.ExpectLog("\r\nYou have to load a ROM first.");
        program.Send(kExit);
        program.ExpectExitCodeZero();
    }
    {
        // Without a path the program only waits, the ROM items grayed.
        Program program("");
        ExpectWelcome(program);
        ExpectRomMenus(program, false);
        program.ExpectLogUnchanged();
        program.Send(kExit);
        program.ExpectExitCodeZero();
    }
}

void RunStartupQuoted() {
    // Windows quotes a path with blanks when a file is dropped on the
    // program; the pair of quotes is removed and the file loads.
    std::string rom = CopyDataFile("crafted.sfc", MakeWorkDir("startup quoted"));
    Program program(Quoted(rom));
    ExpectStartedWithRom(program, rom, ExpectedCount("crafted", "samples"));
    ExpectRomMenus(program, true);
    program.Send(kExit);
    program.ExpectExitCodeZero();
}

void RunExit() {
    std::string rom = CopyDataFile("crafted.sfc", MakeWorkDir("exit"));
    {
        // Exit from the menu while a sample plays in a loop.
        Program program(rom);
        ExpectStartedWithRom(program, rom, ExpectedCount("crafted", "samples"));
        program.Post(kSamplesWindow);
        HWND samples = WaitForDialog(program.Main(), kSamplesCaption);
        Click(GetDlgItem(samples, kLoopCheck));
        program.ExpectLog("\r\nSamples will loop.");
        program.Send(kPlay);
        program.Post(kExit);
        program.ExpectExitCodeZero();
    }
    {
        // The close box, with both modeless windows open.
        Program program("");
        ExpectWelcome(program);
        program.Post(kOptions);
        WaitForDialog(program.Main(), kOptionsCaption);
        program.Post(kSamplesWindow);
        WaitForDialog(program.Main(), kSamplesCaption);
        PostMessageA(program.Main(), WM_CLOSE, 0, 0);
        program.ExpectExitCodeZero();
    }
}
