// rip: load and scan each ROM, then save its samples as numbered WAVE
// files (the "save each" command) or all into one file.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <cstdio>

#include "cli/commands.h"
#include "cli/sample_files.h"
#include "output/save.h"
#include "res/resource.h"

namespace {

struct RipOptions {
    std::vector<std::string> roms;
    std::string out;
    std::string oneFile;
    RipSettings settings;
    SampleOptions samples;
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

// Whether a rip needs more than the program's own saves: an SPC, the chip
// decoder, BRR files or skipped silence.
bool NeedsSampleSet(const RipOptions& options, const std::string& rom) {
    const SampleOptions& samples = options.samples;
    return samples.decoder == DecoderKind::Chip || samples.brrFormat || samples.skipSilent || LooksLikeSpc(rom);
}

// Rips one input through a sample set; returns the exit code.
int RipSampleSet(CliPlatform& platform, const RipOptions& options, const std::string& rom) {
    SampleSet set;
    int status = OpenInput(platform, rom, options.samples, set);
    if (status != kExitOk) return status;
    int32_t rate = RateFor(set.isSpc, options.samples, options.settings.rate);
    SaveOutcome outcome;
    if (set.samples.empty()) {
        // Nothing found: nothing to write, as for a ROM scan.
    } else if (!options.oneFile.empty()) {
        outcome = SaveSetOneFile(set, options.samples, options.oneFile, rate);
    } else {
        std::string directory = options.out.empty()            ? SaveDirectoryFor(rom)
                                : options.roms.size() == 1 ? options.out
                                                           : SharedOutDirectory(options.out, rom);
        outcome = SaveSetFiles(set, options.samples, directory, rate);
    }
    if (outcome.ok) return kExitOk;
    std::fflush(stdout);
    std::fprintf(stderr, "voxtrawl-cli: cannot write '%s': %s\n", outcome.failedPath.c_str(), outcome.reason.c_str());
    return kExitFailed;
}

int RunRip(const RipOptions& options) {
    CliPlatform platform(true);
    BeginSession(platform, options.settings);
    // Each ROM's directory goes under --out, which must exist first.
    if (options.roms.size() > 1 && !options.out.empty()) platform.CreateDirectory(options.out);
    int status = kExitOk;
    for (const std::string& rom : options.roms) {
        if (NeedsSampleSet(options, rom)) {
            int ripped = RipSampleSet(platform, options, rom);
            // A usage error (--decoder spec on an SPC) outranks a failure.
            if (ripped != kExitOk && status != kExitUsage) status = ripped;
            FreeAll();
            continue;
        }
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
    AddSampleOptions(*rip, options->samples);
    AddRipFormatOptions(*rip, options->samples);
    rip->callback([options, rip, &action]() {
        NoteGivenOptions(*rip, options->samples);
        if (options->samples.brrFormat && !options->oneFile.empty())
            throw CLI::ValidationError("--format brr", "writes one file per sample; it cannot go with --one-file");
        if (options->samples.brrLoopHeader && !options->samples.brrFormat)
            throw CLI::ValidationError("--brr-loop-header", "needs --format brr");
        if (!options->oneFile.empty() && options->roms.size() != 1)
            throw CLI::ValidationError("--one-file", "takes exactly one ROM");
        action = [options]() { return RunRip(*options); };
    });
}
