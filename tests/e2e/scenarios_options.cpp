// The Options dialog: the up arrow with Apply, Cancel and OK, checked both
// by reopening the dialog and by ripping a ROM whose runs sit at the
// boundary (spans 576, 585 and 18 bytes).
#include <windows.h>

#include "command_ids.h"
#include "e2e_support.h"
#include "scenarios.h"

namespace {

HWND OpenOptions(Program& program) {
    program.Post(kOptions);
    return WaitForDialog(program.Main(), kOptionsCaption);
}

std::string ValueShown(HWND options) { return WindowText(GetDlgItem(options, kOptionsValueEdit)); }

bool ApplyEnabled(HWND options) { return IsWindowEnabled(GetDlgItem(options, kOptionsApply)) != 0; }

void Press(HWND options, int button) {
    Click(GetDlgItem(options, button));
    if (button != kOptionsApply) WaitUntilGone(options, "the Options dialog");
}

void Rip(Program& program, int expectedSamples) {
    program.Send(kRip);
    program.ExpectLog("\r\nSearching ROM for samples...\r\nFound " + std::to_string(expectedSamples) + " samples.");
}

}  // namespace

void RunOptions() {
    std::string rom = CopyDataFile("boundary.sfc", MakeWorkDir("options"));
    Program program(rom);
    ExpectStartedWithRom(program, rom, ExpectedCount("boundary", "samples"));

    HWND options = OpenOptions(program);
    Check(ValueShown(options) == "568", "the dialog opens with %s", ValueShown(options).c_str());
    Check(!ApplyEnabled(options), "Apply is enabled before any change");
    program.Post(kOptions);
    program.Sync();
    Check(CountOwnedDialogs(program.Main(), kOptionsCaption) == 1, "two Options dialogs are open");

    // Up arrow and Apply store 569 and disable Apply again; Cancel keeps it.
    ClickUpDown(GetDlgItem(options, kOptionsUpDown), true);
    Check(ValueShown(options) == "569", "the up arrow made %s of 568", ValueShown(options).c_str());
    Check(ApplyEnabled(options), "the up arrow did not enable Apply");
    Press(options, kOptionsApply);
    Check(!ApplyEnabled(options), "Apply stays enabled after Apply");
    Press(options, IDCANCEL);
    options = OpenOptions(program);
    Check(ValueShown(options) == "569", "Apply stored %s, expected 569", ValueShown(options).c_str());

    // 576 typed, one up: 577 leaves the 65-block run (span 576) out.
    SetWindowTextTo(GetDlgItem(options, kOptionsValueEdit), "576");
    ClickUpDown(GetDlgItem(options, kOptionsUpDown), true);
    Check(ValueShown(options) == "577", "the up arrow made %s of 576", ValueShown(options).c_str());
    Press(options, kOptionsApply);
    Rip(program, ExpectedCount("boundary", "samples_min577"));

    // Down to 568 and Cancel: the value stays 577.
    SetWindowTextTo(GetDlgItem(options, kOptionsValueEdit), "569");
    ClickUpDown(GetDlgItem(options, kOptionsUpDown), false);
    Check(ValueShown(options) == "568", "the down arrow made %s of 569", ValueShown(options).c_str());
    Press(options, IDCANCEL);
    Rip(program, ExpectedCount("boundary", "samples_min577"));
    options = OpenOptions(program);
    Check(ValueShown(options) == "577", "Cancel changed the value to %s", ValueShown(options).c_str());

    // OK with the edit emptied stores 0: every run qualifies, short ones too.
    SetWindowTextTo(GetDlgItem(options, kOptionsValueEdit), "");
    Press(options, IDOK);
    Rip(program, ExpectedCount("boundary", "samples_min0"));
    program.ExpectLogUnchanged();

    program.Send(kExit);
    program.ExpectExitCodeZero();
}
