// rip: load and scan each ROM, then save its samples as numbered WAVE
// files (the "save each" command) or all into one file.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/native_path.h"
#include "cli/paths.h"
#include "cli/standard_output.h"
#include "core/file_system.h"
#include "cli/sample_files.h"
#include "output/save.h"
#include "output/wav_header.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace fs = std::filesystem;

namespace {

struct RipOptions {
    std::vector<std::string> roms;
    std::string out;
    std::string oneFile;
    bool clean = false;
    RipSettings settings;
    SampleOptions samples;
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
    fs::path path = PathFromNative(folder);
    fs::path resolved = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? fs::absolute(path).lexically_normal() : resolved;
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

// The numbered files of an earlier rip in a folder, by number.
std::vector<std::pair<unsigned long, std::string>> NumberedFiles(const std::string& folder) {
    std::vector<std::pair<unsigned long, std::string>> files;
    std::error_code error;
    for (fs::directory_iterator entry(PathFromNative(folder), error), end; !error && entry != end;
         entry.increment(error)) {
        unsigned long number = 0;
        if (IsNumberedWav(NativeFromPath(entry->path().filename()), number))
            files.emplace_back(number, NativeFromPath(entry->path()));
    }
    std::sort(files.begin(), files.end());
    return files;
}

// An output that is one of the inputs would destroy it: the one-file
// target, or a numbered file in a folder (which a rip or --clean replaces).
bool OverwritesInput(const RipOptions& options, const std::vector<std::string>& folders) {
    std::vector<std::string> outputs;
    if (!options.oneFile.empty()) {
        if (options.oneFile != kStandardOutputPath) outputs.push_back(options.oneFile);
    } else {
        for (const std::string& folder : folders)
            for (const auto& file : NumberedFiles(folder)) outputs.push_back(file.second);
    }
    for (const std::string& output : outputs) {
        for (const std::string& rom : options.roms) {
            if (!SameFile(output, rom)) continue;
            std::fprintf(stderr, "voxtrawl-cli: %s is the ROM %s itself (or a link to it); writing there would "
                                 "destroy the ROM. Choose another output.\n",
                         Quoted(output).c_str(), Quoted(rom).c_str());
            return true;
        }
    }
    return false;
}

// --clean: removes the numbered files of an earlier rip, and nothing else.
bool CleanFolder(const std::string& folder) {
    for (const auto& file : NumberedFiles(folder)) {
        FileInfo info;
        if (LstatFile(file.second, info) != 0 || (info.kind != FileKind::kRegular && info.kind != FileKind::kSymlink))
            continue;
        if (int error = RemoveFile(file.second)) {
            std::fprintf(stderr, "voxtrawl-cli: cannot remove %s: %s\n", Quoted(file.second).c_str(),
                         std::strerror(error));
            return false;
        }
    }
    return true;
}

// Numbered files beyond the ones just written are an earlier rip's, and
// would pass for this one's.
void NoteStaleFiles(const std::string& folder, unsigned written) {
    std::vector<unsigned long> stale;
    for (const auto& file : NumberedFiles(folder))
        if (file.first > written) stale.push_back(file.first);
    if (stale.empty()) return;
    std::string range = std::to_string(stale.front()) + ".wav";
    if (stale.size() > 1) range += " to " + std::to_string(stale.back()) + ".wav";
    std::fprintf(stderr,
                 "voxtrawl-cli: %s also holds %s from an earlier rip, not from this one (--clean removes them "
                 "first).\n",
                 Quoted(folder).c_str(), range.c_str());
}

void ReportSaveFailure(const SaveResult& result, const std::string& folder) {
    FileInfo info;
    bool taken = result.failedPath == folder && StatFile(folder, info) == 0 && info.kind != FileKind::kDirectory;
    if (taken) {
        std::fprintf(stderr, "voxtrawl-cli: %s is not a directory\n", Quoted(folder).c_str());
    } else if (result.failedPath == folder) {
        std::fprintf(stderr, "voxtrawl-cli: cannot create the folder %s: %s\n", Quoted(folder).c_str(),
                     std::strerror(result.error));
    } else {
        std::fprintf(stderr, "voxtrawl-cli: cannot write %s: %s\n", Quoted(result.failedPath).c_str(),
                     std::strerror(result.error ? result.error : EIO));
    }
}

// Saves every stored sample as a numbered file; false when one could not
// be written.
bool SaveEach(const std::string& folder, bool clean) {
    // Nothing stored: the scan found nothing, or no memory for any run.
    if (app.sampleCount == 0) return true;
    if (clean && !CleanFolder(folder)) return false;
    SaveResult result = SaveEachSampleInto(folder);
    if (!result.Ok()) ReportSaveFailure(result, folder);
    NoteStaleFiles(folder, result.filesWritten);
    return result.Ok();
}

// A one-file save whose PCM a WAVE header cannot describe is refused
// before anything is written; false then.
bool FitsOneFile(uint64_t total) {
    if (FitsOneWavFile(total)) return true;
    std::fprintf(stderr,
                 "voxtrawl-cli: the samples hold %llu bytes of PCM, more than one WAVE file can describe "
                 "(%llu bytes); nothing was written. Save them as numbered files instead (without "
                 "--one-file).\n",
                 static_cast<unsigned long long>(total), static_cast<unsigned long long>(kMaxWavDataBytes));
    return false;
}

// Readies standard output for a WAVE file: the log so far out first, and
// no CR inserted before LF bytes of the PCM on Windows.
void PrepareOutForWav() {
    FlushOut();
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

// Saves all samples into one file (through the save dialog, answered with
// the path) or to standard output; false when it could not be written.
bool SaveOneFile(CliPlatform& platform, const std::string& rom, const std::string& path) {
    std::string shown = path == kStandardOutputPath ? "standard output" : Quoted(path);
    if (app.sampleCount == 0) {
        std::fprintf(stderr, "voxtrawl-cli: no samples from %s, so nothing was written to %s.\n",
                     Quoted(rom).c_str(), shown.c_str());
        return true;
    }
    if (!FitsOneFile(ListedPcmBytes())) return false;
    if (path == kStandardOutputPath) {
        PrepareOutForWav();
        int error = SaveAllSamplesToStream(stdout);
        if (error) std::fprintf(stderr, "voxtrawl-cli: cannot write to standard output: %s\n", std::strerror(error));
        return error == 0;
    }
    platform.saveAnswer = path;
    SaveResult result = SaveAllCommand();
    if (!result.Ok()) ReportSaveFailure(result, "");
    return result.Ok();
}

// Whether a rip needs more than the program's own saves: an SPC, the chip
// decoder, BRR files or skipped silence.
bool NeedsSampleSet(const RipOptions& options, const std::string& rom) {
    const SampleOptions& samples = options.samples;
    return samples.decoder == DecoderKind::Chip || samples.brrFormat || samples.skipSilent || LooksLikeSpc(rom);
}

// Rips one input through a sample set; returns the exit code.
int RipSampleSet(CliPlatform& platform, const RipOptions& options, const std::string& rom,
                 const std::string& folder) {
    SampleSet set;
    int status = OpenInput(platform, rom, options.samples, set);
    if (status != kExitOk) return status;
    int32_t rate = RateFor(set.isSpc, options.samples, options.settings.rate);
    SaveOutcome outcome;
    if (set.samples.empty()) {
        // Nothing found: nothing to write, as for a ROM scan.
    } else if (!options.oneFile.empty()) {
        if (!FitsOneFile(SetOneFilePcmBytes(set, options.samples))) return kExitFailed;
        if (options.oneFile == kStandardOutputPath) PrepareOutForWav();
        outcome = SaveSetOneFile(set, options.samples, options.oneFile, rate);
    } else {
        outcome = SaveSetFiles(set, options.samples, folder, rate);
    }
    if (outcome.ok) return set.memoryDropped ? kExitFailed : kExitOk;
    FlushOut();
    if (options.oneFile == kStandardOutputPath)
        std::fprintf(stderr, "voxtrawl-cli: cannot write to standard output: %s\n", outcome.reason.c_str());
    else
        std::fprintf(stderr, "voxtrawl-cli: cannot write %s: %s\n", Quoted(outcome.failedPath).c_str(),
                     outcome.reason.c_str());
    return kExitFailed;
}

int RunRip(const RipOptions& options) {
    std::vector<std::string> folders = FoldersFor(options);
    if (options.oneFile.empty() && SharedFolder(options, folders)) return kExitUsage;
    if (OverwritesInput(options, folders)) return kExitUsage;
    // The WAVE file alone goes to stdout when it is the target.
    CliPlatform platform(options.oneFile == kStandardOutputPath ? stderr : stdout);
    BeginSession(platform, options.settings);
    // Each ROM's directory goes under --out, which must exist first.
    if (options.roms.size() > 1 && !options.out.empty()) platform.CreateDirectory(options.out);
    int status = kExitOk;
    for (size_t i = 0; i < options.roms.size(); ++i) {
        const std::string& rom = options.roms[i];
        if (NeedsSampleSet(options, rom)) {
            int ripped = RipSampleSet(platform, options, rom, folders[i]);
            // A usage error (--decoder spec on an SPC) outranks a failure.
            if (ripped != kExitOk && status != kExitUsage) status = ripped;
            FreeAll();
            continue;
        }
        std::vector<ScannedRun> runs;
        bool ok = LoadAndScan(platform, rom, runs);
        if (ok) {
            ok = options.oneFile.empty() ? SaveEach(folders[i], options.clean)
                                         : SaveOneFile(platform, rom, options.oneFile);
            if (ReportNotStored(runs) != kExitOk) ok = false;
        }
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
