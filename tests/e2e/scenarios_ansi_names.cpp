// ROMs whose names hold characters outside ASCII, as Windows users name
// them: a typographic apostrophe (0x92 in code page 1252) and an accented
// letter. Each is loaded from the command line and through the open dialog,
// played and saved; the saved files' names and bytes are compared with what
// the native voxtrawl-cli wrote for the same ROM.
#include <windows.h>

#include "command_ids.h"
#include "e2e_support.h"
#include "scenarios.h"

namespace {

struct NamedRom {
    const char* file;      // its name in code page 1252
    const char* manifest;  // data\<manifest>.expect
};

const NamedRom kRoms[] = {
    {"Kirby\x92s Demo.sfc", "quote"},
    {"Pok\xE9mon Test.smc", "accent"},
};

// The names above are code page 1252 bytes: any other ANSI code page
// would make them other characters.
void ExpectCodePage1252() {
    Check(GetACP() == 1252, "the ANSI code page is %u, not 1252 (is LC_ALL=C.UTF-8 set for Wine?)", GetACP());
}

// The file that voxtrawl-cli wrote for sample n of the ROM, in the
// directory named after the ROM beside it in the data directory.
std::string ReferenceFor(const NamedRom& rom, int n) {
    return SaveEachDirectory(Paths().data + "\\" + rom.file) + "\\" + std::to_string(n) + ".wav";
}

// Play, then the current sample through the save dialog under a name in
// the same code page, then every sample into the directory named after it.
void PlayAndSave(Program& program, const NamedRom& rom, const std::string& path, int count) {
    program.Send(kPlay);
    program.ExpectLogUnchanged();
    program.Send(kPrevious);
    program.ExpectLog("\r\nNow on 1 of " + std::to_string(count) + ".");

    std::string current = SaveEachDirectory(path) + " \xAB" "1\xBB.wav";
    program.Post(kSaveCurrent);
    ChooseFileInDialog(program.Main(), "Save Sample 1 As 8000hz .Wav File", current);
    program.ExpectLog("\r\nSaved " + current + ".");
    ExpectSameBytes(current, ReadFileBytes(ReferenceFor(rom, 1)));

    std::string each = SaveEachDirectory(path);
    program.Send(kSaveEach);
    program.ExpectLog("\r\nWrote " + std::to_string(count) + " .wav files in directory " + each +
                      " at frequency 8000.");
    for (int n = 1; n <= count; ++n)
        ExpectSameBytes(each + "\\" + std::to_string(n) + ".wav", ReadFileBytes(ReferenceFor(rom, n)));
    std::string beyond = each + "\\" + std::to_string(count + 1) + ".wav";
    Check(!FileExists(beyond), "%s was written", beyond.c_str());
}

}  // namespace

void RunAnsiNamesCommandLine() {
    ExpectCodePage1252();
    std::string dir = MakeWorkDir("ansi names command line");
    for (const NamedRom& rom : kRoms) {
        // The fixture wrote the file under its UTF-8 name: the copy works
        // only if Wine shows that name as these bytes.
        std::string path = CopyDataFile(rom.file, dir);
        int count = ExpectedCount(rom.manifest, "samples");
        Program program(path);
        ExpectStartedWithRom(program, path, count);
        PlayAndSave(program, rom, path, count);
        program.Send(kExit);
        program.ExpectExitCodeZero();
    }
}

void RunAnsiNamesDialog() {
    ExpectCodePage1252();
    std::string dir = MakeWorkDir("ansi names dialog");
    Program program("");
    ExpectWelcome(program);
    std::string prefix;
    for (const NamedRom& rom : kRoms) {
        std::string path = CopyDataFile(rom.file, dir);
        int count = ExpectedCount(rom.manifest, "samples");
        program.Post(kLoadAndRip);
        ChooseFileInDialog(program.Main(), "Open a Damn File!", path);
        // The second load names the first ROM as freed.
        ExpectLoadAndRip(program, path, prefix, count);
        PlayAndSave(program, rom, path, count);
        prefix = "\r\n" + path + " freed";
    }
    program.Send(kExit);
    program.ExpectExitCodeZero();
}
