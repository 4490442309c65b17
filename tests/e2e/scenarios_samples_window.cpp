// The Samples window: rate radios, the loop box, Jump, the up-down, one
// window at a time, and settings that outlive the window.
#include <windows.h>
#include <commctrl.h>

#include "command_ids.h"
#include "e2e_support.h"
#include "scenarios.h"

namespace {

constexpr int kRates[kRateRadioCount] = {5500, 6000, 7333, 8000, 11025, 16000, 22050, 32000, 44100, 48000};
constexpr int k8000Radio = 3;
constexpr int k22050Radio = 6;

// Exactly one radio is checked: the one at radioIndex.
void ExpectRateShown(HWND samples, int radioIndex) {
    for (int k = 0; k < kRateRadioCount; ++k) {
        bool checked = IsChecked(GetDlgItem(samples, kFirstRateRadio + k));
        Check(checked == (k == radioIndex), "the %dhz radio is %s", kRates[k], checked ? "checked" : "clear");
    }
}

void ExpectEdit(HWND samples, const std::string& text) {
    std::string shown = WindowText(GetDlgItem(samples, kSampleNumberEdit));
    Check(shown == text, "the sample number edit shows \"%s\", expected \"%s\"", shown.c_str(), text.c_str());
}

void Jump(Program& program, HWND samples, const std::string& typed, const std::string& logged) {
    SetWindowTextTo(GetDlgItem(samples, kSampleNumberEdit), typed);
    Click(GetDlgItem(samples, kJump));
    program.ExpectLog(logged);
}

}  // namespace

void RunSamplesWindow() {
    std::string dir = MakeWorkDir("samples_window");
    std::string rom = CopyDataFile("crafted.sfc", dir);
    int count = ExpectedCount("crafted", "samples");
    Program program(rom);
    ExpectStartedWithRom(program, rom, count);

    program.Post(kSamplesWindow);
    HWND samples = WaitForDialog(program.Main(), kSamplesCaption);
    ExpectRateShown(samples, k8000Radio);
    Check(!IsChecked(GetDlgItem(samples, kLoopCheck)), "Loop Sample is ticked at start");
    ExpectEdit(samples, "1");

    // A second command only brings the open window forward.
    program.Post(kSamplesWindow);
    program.Sync();
    Check(CountOwnedDialogs(program.Main(), kSamplesCaption) == 1, "two Samples windows are open");
    Check(FindOwnedDialog(program.Main(), kSamplesCaption) == samples, "the Samples window was replaced");

    // Every radio sets its rate, the checked one included; 22050 stays.
    for (int k = 0; k < kRateRadioCount; ++k) {
        Click(GetDlgItem(samples, kFirstRateRadio + k));
        program.ExpectLog("\r\nFrequency set to " + std::to_string(kRates[k]) + "hz.");
        ExpectRateShown(samples, k);
    }
    Click(GetDlgItem(samples, kFirstRateRadio + k22050Radio));
    program.ExpectLog("\r\nFrequency set to 22050hz.");
    Click(GetDlgItem(samples, kFirstRateRadio + k22050Radio));
    program.ExpectLog("\r\nFrequency set to 22050hz.");

    Click(GetDlgItem(samples, kLoopCheck));
    program.ExpectLog("\r\nSamples will loop.");
    Click(GetDlgItem(samples, kLoopCheck));
    program.ExpectLog("\r\nSamples won't loop.");
    Click(GetDlgItem(samples, kLoopCheck));
    program.ExpectLog("\r\nSamples will loop.");

    // Jump takes 1..count and refuses everything else, the up-down's range included.
    std::string invalid = "\r\nInvalid sample #.  The last sample is " + std::to_string(count) + ".";
    for (const char* typed : {"0", "-2", "abc", "", "1280"}) Jump(program, samples, typed, invalid);
    Jump(program, samples, std::to_string(count + 1), invalid);
    Jump(program, samples, std::to_string(count), "\r\nJumped to sample " + std::to_string(count) + ".");
    Jump(program, samples, "3", "\r\nJumped to sample 3.");
    ExpectEdit(samples, "3");

    // The rate chosen is the rate of the next save.
    std::string saved = dir + "\\sample3-22050.wav";
    program.Post(kSaveCurrent);
    ChooseFileInDialog(program.Main(), "Save Sample 3 As 22050hz .Wav File", saved);
    program.ExpectLog("\r\nSaved " + saved + ".");
    ExpectSameBytes(saved, ReadFileBytes(ReferenceWav(22050, 3)));

    // The arrows change only the edit: Play plays sample 3 and shows 4.
    HWND upDown = GetDlgItem(samples, kSampleUpDown);
    ClickUpDown(upDown, true);
    ClickUpDown(upDown, true);
    ExpectEdit(samples, "5");
    program.Send(kPlay);
    program.ExpectLogUnchanged();
    ExpectEdit(samples, "4");
    program.Send(kStop);

    // Closed and opened again, the window shows the settings of the moment.
    Click(GetDlgItem(samples, IDOK));
    WaitUntilGone(samples, "the Samples window");
    program.Sync();
    Check(CountOwnedDialogs(program.Main(), kSamplesCaption) == 0, "the Samples window is still open");
    program.Post(kSamplesWindow);
    samples = WaitForDialog(program.Main(), kSamplesCaption);
    ExpectRateShown(samples, k22050Radio);
    Check(IsChecked(GetDlgItem(samples, kLoopCheck)), "Loop Sample lost its tick");
    ExpectEdit(samples, "4");

    // Escape closes it like the Close button.
    PostMessageA(GetDlgItem(samples, kSampleNumberEdit), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    WaitUntilGone(samples, "the Samples window after Escape");
    program.ExpectLogUnchanged();

    program.Send(kExit);
    program.ExpectExitCodeZero();
}
