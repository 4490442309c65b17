// rip: open each input as a sample set, then save its samples as numbered
// WAVE or BRR files (the "save each" command), all into one file, or as
// one SoundFont; a .brr input's one sample is saved as NAME.wav beside it.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <tuple>
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
#include "cli/sample_options.h"
#include "cli/standard_output.h"
#include "engine/files/file_system.h"
#include "engine/log/log_sink.h"
#include "engine/formats/sample_soundfont.h"
#include "engine/formats/sample_writer.h"
#include "engine/formats/wav_header.h"
#include "engine/formats/wav_loop.h"

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

// ".sf2" in any case.
bool IsSoundFontName(std::string extension) {
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".sf2";
}

// Where one input's rip goes: a folder of numbered files, or one file
// named after the input (a SoundFont, the sample of a .brr file).
struct Destination {
    std::string path;
    bool folder = true;
};

// NAME.ext for the input NAME.x, beside it or in --out.
std::string NamedFileFor(const RipOptions& options, const std::string& input) {
    SampleFormat format = options.samples.format;
    fs::path name = PathFromNative(input).stem();
    name += FormatExtension(format);
    fs::path folder = options.out.empty() ? PathFromNative(input).parent_path() : PathFromNative(options.out);
    return NativeFromPath(folder / name);
}

std::vector<Destination> DestinationsFor(const RipOptions& options) {
    std::vector<Destination> destinations;
    for (const std::string& input : options.roms) {
        if (options.samples.format == SampleFormat::Sf2 || IsBrrFileName(input))
            destinations.push_back({NamedFileFor(options, input), false});
        else if (options.out.empty()) destinations.push_back({RipFolderFor(input), true});
        else if (options.roms.size() == 1) destinations.push_back({options.out, true});
        else destinations.push_back({RipFolderUnder(options.out, input), true});
    }
    return destinations;
}

// The folder as the file system will resolve it, for comparing.
fs::path Resolved(const std::string& folder) {
    std::error_code error;
    fs::path path = PathFromNative(folder);
    fs::path resolved = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? fs::absolute(path).lexically_normal() : resolved;
}

// Two inputs ripped into one folder would interleave their samples, and
// two written to one file would leave only the last; names the first pair
// that would, or returns false.
bool SharedDestination(const RipOptions& options, const std::vector<Destination>& destinations) {
    for (size_t i = 0; i < destinations.size(); ++i) {
        for (size_t j = i + 1; j < destinations.size(); ++j) {
            if (Resolved(destinations[i].path) != Resolved(destinations[j].path)) continue;
            bool folder = destinations[i].folder && destinations[j].folder;
            std::fprintf(stderr,
                         "voxtrawl-cli: %s and %s would both be %s %s; rip them one at a time with --out.\n",
                         Quoted(options.roms[i]).c_str(), Quoted(options.roms[j]).c_str(),
                         folder ? "ripped into the folder" : "written to the file",
                         Quoted(destinations[i].path).c_str());
            return true;
        }
    }
    return false;
}

// A sample file's name in the order a listing shows it: ROM numbers by
// value, then SPC entries.
bool NameOrder(const std::string& a, const std::string& b) {
    auto key = [](const std::string& name) {
        std::string stem = name.substr(0, name.size() - 4);
        bool decimal = stem.find_first_not_of("0123456789") == std::string::npos && stem.size() != 2;
        return std::make_tuple(decimal ? 0 : 1, decimal ? std::stoul(stem) : 0ul, name);
    };
    return key(a) < key(b);
}

// The regular files in a folder named as a rip names its samples.
std::vector<std::string> SampleFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(PathFromNative(folder), error), end; !error && entry != end;
         entry.increment(error)) {
        std::string name = NativeFromPath(entry->path().filename());
        FileInfo info;
        if (IsSampleFileName(name) && LstatFile(NativeFromPath(entry->path()), info) == 0 &&
            info.kind == FileKind::kRegular)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NameOrder);
    return names;
}

std::string InFolder(const std::string& folder, const std::string& name) {
    return NativeFromPath(PathFromNative(folder) / PathFromNative(name));
}

// An output that is one of the inputs would destroy it.
bool OverwritesInput(const RipOptions& options, const std::vector<std::string>& outputs) {
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

// A pipe, device or folder where a numbered file goes would block the rip
// or swallow the sample: refused, whatever a link in between says.
bool TakenByOther(const std::vector<std::string>& targets) {
    for (const std::string& target : targets) {
        FileInfo info;
        if (LstatFile(target, info) != 0) continue;
        if (info.kind == FileKind::kSymlink && StatFile(target, info) != 0) continue;
        if (info.kind == FileKind::kRegular || info.kind == FileKind::kSymlink) continue;
        std::fprintf(stderr,
                     "voxtrawl-cli: %s is a %s, not a file a rip can replace; nothing was written. Remove it or "
                     "choose another folder with --out.\n",
                     Quoted(target).c_str(), info.kind == FileKind::kDirectory ? "folder" : "pipe or device");
        return true;
    }
    return false;
}

// The most PCM one WAVE file may hold; tests lower it to try the refusal
// without writing gigabytes.
uint64_t WavLimit() {
    const char* limit = std::getenv("VOXTRAWL_TEST_WAV_LIMIT");
    return limit ? std::strtoull(limit, nullptr, 10) : kMaxWavDataBytes;
}

// A sample whose PCM a WAVE header cannot describe is refused before
// anything is written.
bool TooLarge(uint64_t pcmBytes, const std::string& what) {
    if (pcmBytes <= WavLimit()) return false;
    std::fprintf(stderr,
                 "voxtrawl-cli: %s holds %llu bytes of PCM, more than one WAVE file can describe (%llu bytes); "
                 "nothing was written.\n",
                 what.c_str(), static_cast<unsigned long long>(pcmBytes),
                 static_cast<unsigned long long>(WavLimit()));
    return true;
}

bool AnyTooLarge(const SampleSet& set, const RipPlan& plan, const FileFormat& format) {
    if (format.format != SampleFormat::Wav) return false;
    for (const PlannedFile& file : plan.files)
        if (TooLarge(set.PcmBytes(*file.sample) + (HasSmplChunk(*file.sample) ? kSmplChunkBytes : 0),
                     "sample " + file.name))
            return true;
    return false;
}

// Creates the folder and any missing parents; false after saying why not.
bool CreateFolder(const std::string& folder) {
    FileInfo info;
    if (StatFile(folder, info) == 0) {
        if (info.kind == FileKind::kDirectory) return true;
        std::fprintf(stderr, "voxtrawl-cli: %s is not a directory\n", Quoted(folder).c_str());
        return false;
    }
    std::error_code error;
    fs::create_directories(PathFromNative(folder), error);
    if (!error) return true;
    std::fprintf(stderr, "voxtrawl-cli: cannot create the folder %s: %s\n", Quoted(folder).c_str(),
                 std::strerror(error.value()));
    return false;
}

// --clean: removes the sample files of an earlier rip, and nothing else.
bool CleanFolder(const std::string& folder, const std::vector<std::string>& earlier) {
    for (const std::string& name : earlier) {
        if (int error = RemoveFile(InFolder(folder, name))) {
            std::fprintf(stderr, "voxtrawl-cli: cannot remove %s: %s\n", Quoted(InFolder(folder, name)).c_str(),
                         std::strerror(error));
            return false;
        }
    }
    return true;
}

// Sample files beside the ones just written are an earlier rip's, and
// would pass for this one's.
void NoteStaleFiles(const std::string& folder, const RipPlan& plan, bool clean) {
    std::vector<std::string> stale;
    for (const std::string& name : SampleFilesIn(folder)) {
        bool ours = std::any_of(plan.files.begin(), plan.files.end(),
                                [&name](const PlannedFile& file) { return file.name == name; });
        if (!ours) stale.push_back(name);
    }
    if (stale.empty()) return;
    std::string range;
    for (size_t i = 0; i < stale.size() && i < 5; ++i) range += (i ? ", " : "") + ShownText(stale[i]);
    if (stale.size() > 5) range += " and " + std::to_string(stale.size() - 5) + " more";
    std::fprintf(stderr, "voxtrawl-cli: %s also holds %s from an earlier rip, not from this one%s.\n",
                 Quoted(folder).c_str(), range.c_str(), clean ? "" : " (--clean removes them first)");
}

// Readies standard output for a WAVE file: the log so far out first, and
// no CR inserted before LF bytes of the PCM on Windows.
void PrepareOutForWav() {
    FlushOut();
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

// A set with nothing to save writes no file at all, and says so.
int SayNothingWritten(const SampleSet& set, const std::string& shown) {
    std::fprintf(stderr, "voxtrawl-cli: no samples from %s, so nothing was written to %s.\n",
                 Quoted(set.path).c_str(), shown.c_str());
    return kExitOk;
}

// All samples into one WAVE file, or to standard output; the exit code.
int SaveOneFile(const RipOptions& options, const SampleSet& set, const RipPlan& plan, int32_t rate) {
    const std::string& path = options.oneFile;
    bool toOut = path == kStandardOutputPath;
    std::string shown = toOut ? "standard output" : Quoted(path);
    if (plan.files.empty()) return SayNothingWritten(set, shown);
    if (TooLarge(PlannedPcmBytes(set, plan), "the samples together")) return kExitFailed;
    OutputFile file;
    int error = 0;
    if (toOut) {
        PrepareOutForWav();
        file.stream = stdout;
        error = WriteOneWav(set, plan, rate, file);
        if (!error) error = FinishOut();
    } else if (!(error = OpenOutput(path, file))) {
        error = WriteOneWav(set, plan, rate, file);
        if (error) AbandonOutput(file);
        else error = FinishOutput(file);
        if (error) LogPrint("\r\nCan't write file %s.", path.c_str());
        else LogPrint("\r\nSaved %s.", path.c_str());
    }
    if (!error) return kExitOk;
    FlushOut();
    std::fprintf(stderr, "voxtrawl-cli: cannot write %s: %s\n", toOut ? "to standard output" : shown.c_str(),
                 std::strerror(error));
    return kExitFailed;
}

// Every planned sample as a file of its own in the folder; the exit code.
// A folder of numbered files is cleaned and checked for an earlier rip's
// files; a folder that a named file goes to is the user's own.
int SaveFolder(const RipOptions& options, const SampleSet& set, const RipPlan& plan, const std::string& folder,
               int32_t rate, bool numbered) {
    FileFormat format = FileFormatOf(options.samples);
    std::vector<std::string> targets;
    for (const PlannedFile& file : plan.files) targets.push_back(InFolder(folder, file.name));
    std::vector<std::string> earlier =
        options.clean && numbered ? SampleFilesIn(folder) : std::vector<std::string>();
    std::vector<std::string> touched = targets;
    for (const std::string& name : earlier) touched.push_back(InFolder(folder, name));
    if (OverwritesInput(options, touched)) return kExitUsage;
    if (TakenByOther(targets) || AnyTooLarge(set, plan, format)) return kExitFailed;
    if (!CreateFolder(folder)) return kExitFailed;
    if (!CleanFolder(folder, earlier)) return kExitFailed;
    WriteOutcome outcome = WriteFolder(set, plan, format, folder, rate);
    if (numbered) NoteStaleFiles(folder, plan, options.clean);
    if (outcome.Ok()) return kExitOk;
    FlushOut();
    std::fprintf(stderr, "voxtrawl-cli: cannot write %s: %s\n", Quoted(outcome.failedPath).c_str(),
                 outcome.error == kNotAFile ? "not a regular file" : std::strerror(outcome.error));
    return kExitFailed;
}

// All samples as one SoundFont, at a name the user gave (which may be a
// device or standard output) or named after the input; the exit code.
int SaveSoundFont(const RipOptions& options, const SampleSet& set, const RipPlan& plan, const std::string& path,
                  int32_t rate, bool userNamed) {
    bool toOut = path == kStandardOutputPath;
    std::string shown = toOut ? "standard output" : Quoted(path);
    if (plan.files.empty()) return SayNothingWritten(set, shown);
    if (!userNamed && OverwritesInput(options, {path})) return kExitUsage;
    if (!userNamed && TakenByOther({path})) return kExitFailed;
    std::string bankName = NativeToUtf8(NativeFromPath(PathFromNative(set.path).filename()));
    SoundFontError refused = CheckSoundFont(SoundFontSamplesOf(set, PlannedSamples(plan), rate), bankName);
    if (refused != SoundFontError::None) {
        std::fprintf(stderr, "voxtrawl-cli: cannot write %s: %s; nothing was written.\n", shown.c_str(),
                     DescribeSoundFontError(refused));
        return kExitFailed;
    }
    if (!userNamed && !options.out.empty() && !CreateFolder(options.out)) return kExitFailed;
    OutputFile file;
    int error = 0;
    if (toOut) {
        PrepareOutForWav();
        file.stream = stdout;
        error = WriteSoundFontFile(set, plan, rate, bankName, file);
        if (!error) error = FinishOut();
    } else if (!(error = OpenOutput(path, file, userNamed))) {
        error = WriteSoundFontFile(set, plan, rate, bankName, file);
        if (error) AbandonOutput(file);
        else error = FinishOutput(file);
        if (error) LogPrint("\r\nCan't write file %s.", path.c_str());
        else LogPrint("\r\nSaved %s with %d samples at frequency %d.", path.c_str(),
                      static_cast<int>(plan.files.size()), static_cast<int>(rate));
    }
    if (!error) return kExitOk;
    FlushOut();
    std::fprintf(stderr, "voxtrawl-cli: cannot write %s: %s\n", toOut ? "to standard output" : shown.c_str(),
                 error == kNotAFile ? "not a regular file" : std::strerror(error));
    return kExitFailed;
}

// The folder a named file goes to, for writing it as a folder's only file.
std::string FolderOf(const std::string& path) {
    fs::path parent = PathFromNative(path).parent_path();
    return parent.empty() ? "." : NativeFromPath(parent);
}

// One input: open it as a sample set, name what it writes, write it whole.
int RipOne(CliPlatform& platform, const RipOptions& options, const std::string& rom, const Destination& destination) {
    SampleSet set;
    int status = OpenInput(platform, rom, options.samples, set);
    if (status != kExitOk) return status;
    int32_t rate = RateFor(set, options.samples, options.settings.rate);
    RipPlan plan = PlanFiles(set, FileFormatOf(options.samples));
    bool soundFont = options.samples.format == SampleFormat::Sf2;
    int saved = kExitOk;
    if (!options.oneFile.empty())
        saved = soundFont ? SaveSoundFont(options, set, plan, options.oneFile, rate, true)
                          : SaveOneFile(options, set, plan, rate);
    else if (soundFont) saved = SaveSoundFont(options, set, plan, destination.path, rate, false);
    else if (!destination.folder) saved = SaveFolder(options, set, plan, FolderOf(destination.path), rate, false);
    // Nothing found: nothing to write, and no folder made for it.
    else if (!set.samples.empty()) saved = SaveFolder(options, set, plan, destination.path, rate, true);
    return saved != kExitOk ? saved : set.memoryDropped ? kExitFailed : kExitOk;
}

int RunRip(const RipOptions& options) {
    std::vector<Destination> destinations = DestinationsFor(options);
    if (options.oneFile.empty() && SharedDestination(options, destinations)) return kExitUsage;
    if (!options.oneFile.empty() && options.oneFile != kStandardOutputPath &&
        OverwritesInput(options, {options.oneFile}))
        return kExitUsage;
    // The WAVE file alone goes to stdout when it is the target.
    CliPlatform platform(options.oneFile == kStandardOutputPath ? stderr : stdout);
    BeginSession(platform, options.settings);
    int status = kExitOk;
    for (size_t i = 0; i < options.roms.size(); ++i) {
        int ripped = RipOne(platform, options, options.roms[i], destinations[i]);
        // One input that fails does not stop the others; a usage error
        // (a ROM-only option on an SPC, an output over an input) outranks a failure.
        if (ripped != kExitOk && status != kExitUsage) status = ripped;
        FreeAll();
    }
    EndSession(platform);
    return status;
}

}  // namespace

void AddRipCommand(CLI::App& cli, CommandAction& action) {
    auto options = std::make_shared<RipOptions>();
    CLI::App* rip = cli.add_subcommand(
        "rip", "Rip every sample of each ROM and save it as a numbered WAVE file (or all into one file).");
    rip->add_option("ROM", options->roms, "ROM image files, SPC snapshots or .brr instrument files")->required();
    CLI::Option* out = rip->add_option(
                              "-o,--out", options->out,
                              "Folder for the numbered files (default: the ROM's path without its extension); "
                              "with several ROMs, each gets its own folder inside it. A SoundFont or a .brr "
                              "input's file goes into it directly (default: beside the input)")
                           ->check(NotEmpty());
    CLI::Option* oneFile = rip->add_option("-f,--one-file", options->oneFile,
                                           "Save all samples back to back into this one WAVE file, or with "
                                           "--format sf2 into this SoundFont ('-': standard output)")
                               ->check(NotEmpty());
    CLI::Option* clean = rip->add_flag("--clean", options->clean,
                                       "Remove the sample files of an earlier rip (N.wav, N.brr, XX.wav, XX.brr) from the folder first");
    out->excludes(oneFile);
    clean->excludes(oneFile);
    AddRipSettingOptions(*rip, options->settings);
    AddSampleOptions(*rip, options->samples);
    AddRipFormatOptions(*rip, options->samples);
    rip->callback([options, rip, &action]() {
        NoteGivenOptions(*rip, options->samples);
        if (options->samples.format == SampleFormat::Brr && !options->oneFile.empty())
            throw CLI::ValidationError("--format brr", "writes one file per sample; it cannot go with --one-file");
        // A WAVE file named .sf2 would fool every player that opens it.
        const std::string& named = options->oneFile;
        if (options->samples.format != SampleFormat::Sf2 && named.size() >= 4 &&
            IsSoundFontName(named.substr(named.size() - 4)))
            throw CLI::ValidationError("--one-file", "writes a WAVE file; add --format sf2 for a SoundFont");
        if (options->samples.brrLoopHeader && options->samples.format != SampleFormat::Brr)
            throw CLI::ValidationError("--brr-loop-header", "needs --format brr");
        if (!options->oneFile.empty() && options->roms.size() != 1)
            throw CLI::ValidationError("--one-file", "takes exactly one ROM");
        action = [options]() { return RunRip(*options); };
    });
}
