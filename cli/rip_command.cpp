// rip: load and scan each ROM, then save its samples as numbered WAVE
// files (the "save each" command) or all into one file.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "output/save.h"
#include "res/resource.h"

namespace {

struct RipOptions {
    std::vector<std::string> roms;
    std::string out;
    std::string oneFile;
    RipSettings settings;
};

// Where --out puts one ROM's files when several ROMs share it: a
// directory named like the program's own, but from the file name only.
std::string SharedOutDirectory(const std::string& out, const std::string& romPath) {
    std::string name = std::filesystem::path(romPath).filename().string();
    return (std::filesystem::path(out) / SaveDirectoryFor(name)).string();
}

// Saves every sample of the ripped ROM as a numbered file; false when a
// file could not be written.
bool SaveEach(CliPlatform& platform, const RipOptions& options, const std::string& romPath) {
    // A scan that found nothing unloads the ROM and grays the command.
    if (!platform.MenuEnabled(IDM_SAVE_EACH)) return true;
    size_t from = platform.Logged().size();
    if (options.out.empty()) {
        platform.Run(IDM_SAVE_EACH);
    } else if (options.roms.size() == 1) {
        SaveEachSampleInto(options.out);
    } else {
        SaveEachSampleInto(SharedOutDirectory(options.out, romPath));
    }
    return !platform.LoggedSince(from, "\r\nCan't write file ");
}

// Saves all samples into one file through the save dialog, answered with
// the path; false when the file could not be written.
bool SaveOneFile(CliPlatform& platform, const std::string& path) {
    if (!platform.MenuEnabled(IDM_SAVE_ALL_ONE_FILE)) return true;
    platform.saveAnswer = path;
    size_t from = platform.Logged().size();
    platform.Run(IDM_SAVE_ALL_ONE_FILE);
    return platform.LoggedSince(from, "\r\nSaved ");
}

int RunRip(const RipOptions& options) {
    CliPlatform platform(true);
    BeginSession(platform, options.settings);
    // Each ROM's directory goes under --out, which must exist first.
    if (options.roms.size() > 1 && !options.out.empty()) platform.CreateDirectory(options.out);
    int status = kExitOk;
    for (const std::string& rom : options.roms) {
        bool ok = LoadAndScan(platform, rom);
        if (ok) ok = options.oneFile.empty() ? SaveEach(platform, options, rom) : SaveOneFile(platform, options.oneFile);
        // One ROM that fails does not stop the others.
        if (!ok) status = kExitFailed;
    }
    EndSession(platform);
    return status;
}

}  // namespace

void AddRipCommand(CLI::App& cli, CommandAction& action) {
    auto options = std::make_shared<RipOptions>();
    CLI::App* rip = cli.add_subcommand(
        "rip", "Rip every sample of each ROM and save it as a numbered WAVE file (or all into one file).");
    rip->add_option("ROM", options->roms, "ROM image files")->required();
    CLI::Option* out = rip->add_option(
        "-o,--out", options->out,
        "Directory for the numbered files (default: named after the ROM); with several ROMs, each gets "
        "its own directory inside it");
    CLI::Option* oneFile =
        rip->add_option("-f,--one-file", options->oneFile, "Save all samples back to back into this one WAVE file");
    out->excludes(oneFile);
    AddRipSettingOptions(*rip, options->settings);
    rip->callback([options, &action]() {
        if (!options->oneFile.empty() && options->roms.size() != 1)
            throw CLI::ValidationError("--one-file", "takes exactly one ROM");
        action = [options]() { return RunRip(*options); };
    });
}
