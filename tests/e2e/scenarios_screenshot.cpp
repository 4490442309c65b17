// The main window after ripping the demo ROM, with the Samples window open,
// captured for a person to look at.
#include <windows.h>

#include "command_ids.h"
#include "e2e_support.h"
#include "scenarios.h"

void RunScreenshot() {
    const std::string& rom = Paths().demoRom;
    Check(FileExists(rom), "no demo ROM at %s", rom.c_str());
    Program program(rom);
    program.ExpectLogPattern(
        "Welcome to VOXTRAWL!\r\nComments/bugs/etc. to {line}\r\n\r\n\r\nYay!\r\nROM " + rom +
            " loaded ok.\r\n\r\nStats:\r\n{digits} bytes\r\nTook {digits} milliseconds\r\nSearching ROM for "
            "samples...\r\nFound {digits} samples.",
        " samples.");
    program.ExpectMenus({kUnload, kSaveAllOneFile, kSaveEach}, true);
    program.Post(kSamplesWindow);
    HWND samples = WaitForDialog(program.Main(), kSamplesCaption);
    // It opens over the main window's top left corner; moved beside it, as
    // a user would, both windows are seen whole.
    RECT main;
    GetWindowRect(program.Main(), &main);
    SetWindowPos(samples, nullptr, main.right + 8, main.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    WaitUntil("the Samples window to move", [&] {
        RECT r;
        GetWindowRect(samples, &r);
        return r.left == main.right + 8;
    });
    SendTo(samples, WM_NULL);
    program.Sync();
    Check(TakeScreenshot("screenshot-demo"), "no screenshot was written");
    program.Send(kExit);
    program.ExpectExitCodeZero();
}
