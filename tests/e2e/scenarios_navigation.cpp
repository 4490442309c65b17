// Play, Stop, Next, Previous, First and Unload from the toolbar, at both
// ends of the sample list and with no samples at all. The Samples window is
// open throughout, because its number edit is where Play shows its advance.
#include "command_ids.h"
#include "e2e_support.h"
#include "scenarios.h"

namespace {

void ExpectNumberShown(HWND samples, int number) {
    HWND edit = GetDlgItem(samples, kSampleNumberEdit);
    std::string expected = std::to_string(number);
    std::string shown;
    WaitUntil("the Samples window to show " + expected, [&] { return (shown = WindowText(edit)) == expected; });
}

std::string NowOn(int number, int count) {
    return "\r\nNow on " + std::to_string(number) + " of " + std::to_string(count) + ".";
}

}  // namespace

void RunNavigation() {
    std::string rom = CopyDataFile("crafted.sfc", MakeWorkDir("navigation"));
    int count = ExpectedCount("crafted", "samples");
    Check(count >= 3, "the crafted ROM needs at least three samples");
    Program program(rom);
    ExpectStartedWithRom(program, rom, count);
    program.Post(kSamplesWindow);
    HWND samples = WaitForDialog(program.Main(), kSamplesCaption);
    ExpectNumberShown(samples, 1);

    // At the first sample nothing moves back.
    program.Send(kFirst);
    program.ExpectLog("\r\nAlready on first sample.");
    program.Send(kPrevious);
    program.ExpectLog("\r\nAlready on first sample.");

    // Play moves on silently; Next and Previous say where they are.
    program.Send(kPlay);
    program.ExpectLogUnchanged();
    ExpectNumberShown(samples, 2);
    program.Send(kNext);
    program.ExpectLog(NowOn(3, count));
    ExpectNumberShown(samples, 3);
    program.Send(kPrevious);
    program.ExpectLog(NowOn(2, count));
    ExpectNumberShown(samples, 2);
    for (int n = 3; n <= count; ++n) {
        program.Send(kNext);
        program.ExpectLog(NowOn(n, count));
    }
    ExpectNumberShown(samples, count);

    // At the last sample Next refuses and Play replays it each time.
    program.Send(kNext);
    program.ExpectLog("\r\nAlready on last sample.");
    for (int press = 0; press < 2; ++press) {
        program.Send(kPlay);
        program.ExpectLog("\r\nThis is the last sample.");
        ExpectNumberShown(samples, count);
    }
    program.Send(kStop);
    program.ExpectLogUnchanged();

    program.Send(kFirst);
    program.ExpectLog("\r\nRewound back to sample 1.");
    ExpectNumberShown(samples, 1);

    // A looping sound is replaced by the next Play and ended by Stop.
    Click(GetDlgItem(samples, kLoopCheck));
    program.ExpectLog("\r\nSamples will loop.");
    program.Send(kPlay);
    program.Send(kPlay);
    program.Send(kStop);
    program.ExpectLogUnchanged();
    ExpectNumberShown(samples, 3);

    // Unload from the toolbar says what the menu's Unload says; the number
    // survives it, and only Play and Save Current look at the samples.
    program.Send(kUnloadButton);
    program.ExpectLog("\r\nROM " + rom + " freed from memory.");
    program.ExpectMenus({kUnload, kSaveAllOneFile, kSaveEach}, false);
    program.Send(kPlay);
    program.ExpectLog("\r\n\r\nBefore you can play samples, you must load a rom and select \"Rip to Pieces.\"");
    program.Send(kNext);
    program.ExpectLog("\r\nAlready on last sample.");
    program.Send(kPrevious);
    program.ExpectLog(NowOn(2, 0));
    ExpectNumberShown(samples, 2);
    program.Send(kSaveCurrent);
    program.ExpectLog(
        "\r\n\r\nIn order to save the current sample, you must load a rom, select \"Rip to Pieces,\" fast "
        "forward to the sample you want, then select this.");
    program.Send(kUnloadButton);
    program.ExpectLog("\r\nYou have to load a ROM first.");

    program.Send(kExit);
    program.ExpectExitCodeZero();
}
