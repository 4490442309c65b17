// rip: load and scan each ROM, then save its samples as numbered WAVE
// files (the "save each" command) or all into one file.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "cli/commands.h"
#include "cli/paths.h"
#include "output/save.h"
#include "res/resource.h"

namespace fs = std::filesystem;

namespace {

struct RipOptions {
    std::vector<std::string> roms;
    std::string out;
    std::string oneFile;
    bool clean = false;
    RipSettings settings;
};

// The folder each ROM's numbered files go to.
std::vector<std::string> FoldersFor(const RipOptions& options) {
    std::vector<std::string> folders;
    for (const std::string& rom : options.roms) {
        if (options.out.empty()) folders.push_back(RipFolderFor(rom));
        else if (options.roms.size() == 1) folders.push_back(options.out);
        else folders.push_back(RipFolderUnder(options.out, rom));
    }
    return folders;
}

// The folder as the file system will resolve it, for comparing.
fs::path Resolved(const std::string& folder) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(fs::absolute(folder, error), error);
    return error ? fs::absolute(folder).lexically_normal() : resolved;
}

// Two ROMs ripped into one folder would interleave their samples; names
// the first pair that would, or returns false.
bool SharedFolder(const RipOptions& options, const std::vector<std::string>& folders) {
    for (size_t i = 0; i < folders.size(); ++i) {
        for (size_t j = i + 1; j < folders.size(); ++j) {
            if (Resolved(folders[i]) != Resolved(folders[j])) continue;
            std::fprintf(stderr,
                         "voxtrawl-cli: %s and %s would both be ripped into the folder %s; rip them one at a "
                         "time with --out.\n",
                         Quoted(options.roms[i]).c_str(), Quoted(options.roms[j]).c_str(),
                         Quoted(folders[i]).c_str());
            return true;
        }
    }
    return false;
}

// Saves every sample of the ripped ROM as a numbered file; false when a
// file could not be written.
bool SaveEach(CliPlatform& platform, const std::string& folder) {
    // A scan that found nothing unloads the ROM and grays the command.
    if (!platform.MenuEnabled(IDM_SAVE_EACH)) return true;
    size_t from = platform.Logged().size();
    SaveEachSampleInto(folder);
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
    std::vector<std::string> folders = FoldersFor(options);
    if (options.oneFile.empty() && SharedFolder(options, folders)) return kExitUsage;
    CliPlatform platform(true);
    BeginSession(platform, options.settings);
    // Each ROM's directory goes under --out, which must exist first.
    if (options.roms.size() > 1 && !options.out.empty()) platform.CreateDirectory(options.out);
    int status = kExitOk;
    for (size_t i = 0; i < options.roms.size(); ++i) {
        bool ok = LoadAndScan(platform, options.roms[i]);
        if (ok) ok = options.oneFile.empty() ? SaveEach(platform, folders[i]) : SaveOneFile(platform, options.oneFile);
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
                              "Folder for the numbered files (default: the ROM's path without its extension); "
                              "with several ROMs, each gets its own folder inside it")
                           ->check(NotEmpty());
    CLI::Option* oneFile = rip->add_option("-f,--one-file", options->oneFile,
                                           "Save all samples back to back into this one WAVE file ('-': standard "
                                           "output)")
                               ->check(NotEmpty());
    CLI::Option* clean = rip->add_flag("--clean", options->clean,
                                       "Remove the numbered N.wav files of an earlier rip from the folder first");
    out->excludes(oneFile);
    clean->excludes(oneFile);
    AddRipSettingOptions(*rip, options->settings);
    rip->callback([options, &action]() {
        if (!options->oneFile.empty() && options->roms.size() != 1)
            throw CLI::ValidationError("--one-file", "takes exactly one ROM");
        action = [options]() { return RunRip(*options); };
    });
}
