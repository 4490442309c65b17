// Saving through the save dialog (the current sample, all samples in one
// file) and into numbered files, compared byte for byte with what
// voxtrawl-cli writes for the same ROM and rate.
#include <windows.h>

#include "command_ids.h"
#include "e2e_support.h"
#include "scenarios.h"

namespace {

constexpr char kTitle[] = "Save Sample 2 As 8000hz .Wav File";

void SaveThroughDialog(Program& program, unsigned command, const std::string& path) {
    program.Post(command);
    ChooseFileInDialog(program.Main(), kTitle, path);
    program.ExpectLog("\r\nSaved " + path + ".");
}

}  // namespace

void RunSaving() {
    std::string dir = MakeWorkDir("saving");
    std::string rom = CopyDataFile("crafted.sfc", dir);
    int count = ExpectedCount("crafted", "samples");
    Program program(rom);
    ExpectStartedWithRom(program, rom, count);
    program.Send(kNext);
    program.ExpectLog("\r\nNow on 2 of " + std::to_string(count) + ".");

    // Cancel writes nothing.
    std::string current = dir + "\\current.wav";
    program.Post(kSaveCurrent);
    CancelFileDialog(program.Main(), kTitle);
    program.ExpectLog("\r\nCancelled save.");
    Check(!FileExists(current), "a cancelled save wrote %s", current.c_str());

    SaveThroughDialog(program, kSaveCurrent, current);
    ExpectSameBytes(current, ReadFileBytes(ReferenceWav(8000, 2)));

    // Saving over it asks first (the question is the save dialog's own).
    DeleteFileA(current.c_str());
    CopyFileA(ReferenceWav(8000, 1).c_str(), current.c_str(), FALSE);
    program.Post(kSaveCurrent);
    ChooseFileInDialog(program.Main(), kTitle, current);
    HWND dialog = WaitForDialog(program.Main(), kTitle);
    HWND question = nullptr;
    WaitUntil("the overwrite question", [&] { return (question = FindOwnedDialog(dialog, kTitle)) != nullptr; });
    AnswerBox(question, IDYES);
    program.ExpectLog("\r\nSaved " + current + ".");
    ExpectSameBytes(current, ReadFileBytes(ReferenceWav(8000, 2)));

    // All samples back to back in one file, under the same title.
    std::string all = dir + "\\all.wav";
    SaveThroughDialog(program, kSaveAllOneFile, all);
    ExpectSameBytes(all, ReadFileBytes(Paths().data + "\\ref-8000-all.wav"));
    Check(program.ProgressPosition() == 0, "the progress bar stands at %d", program.ProgressPosition());

    // Numbered files in the directory named after the ROM, without a dialog.
    std::string each = SaveEachDirectory(rom);
    program.Send(kSaveEach);
    program.ExpectLog("\r\nWrote " + std::to_string(count) + " .wav files in directory " + each +
                      " at frequency 8000.");
    for (int n = 1; n <= count; ++n)
        ExpectSameBytes(each + "\\" + std::to_string(n) + ".wav", ReadFileBytes(ReferenceWav(8000, n)));
    std::string beyond = each + "\\" + std::to_string(count + 1) + ".wav";
    Check(!FileExists(beyond), "%s was written", beyond.c_str());

    program.Send(kExit);
    program.ExpectExitCodeZero();
}
