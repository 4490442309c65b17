// rip: open each input as a sample set, then write its samples in the
// chosen format: a file per sample (numbered in a folder, or NAME.wav for
// a .brr input's one sample), or all of them in one file, named after the
// input or by --one-file.
#include <algorithm>
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
#include "cli/song_rows.h"
#include "cli/standard_output.h"
#include "engine/files/file_system.h"
#include "engine/files/path_names.h"
#include "engine/formats/sample_writer.h"
#include "engine/log/log_sink.h"
#include "engine/log/shown_text.h"
#include "engine/song/midi_song.h"

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

// The format whose extension, in any case, ends the name; nullptr for none.
const FileFormat* FormatNamedBy(std::string name) {
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (const FileFormat& format : FileFormats()) {
        std::string extension = format.extension;
        if (name.size() >= extension.size() && name.compare(name.size() - extension.size(), extension.size(), extension) == 0)
            return &format;
    }
    return nullptr;
}

// Where one input's rip goes: a folder of numbered files, or one file
// named after the input (a SoundFont, the sample of a .brr file).
struct Destination {
    std::string path;
    bool folder = true;
};

// NAME.ext for the input NAME.x, beside it or in --out.
std::string NamedFileFor(const RipOptions& options, const std::string& input) {
    std::string name = FileStem(input) + options.samples.Format().extension;
    fs::path folder = options.out.empty() ? PathFromNative(input).parent_path() : PathFromNative(options.out);
    return NativeFromPath(folder / PathFromNative(name));
}

std::vector<Destination> DestinationsFor(const RipOptions& options) {
    std::vector<Destination> destinations;
    for (const std::string& input : options.roms) {
        if (!options.samples.Format().PerSample() || IsBrrFileName(input))
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

// Readies standard output for a file: the log so far out first, and no
// CR inserted before LF bytes of the data on Windows.
void PrepareOutForFile() {
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

// The guards of every file a rip is about to write or remove, applied
// before any is: none may be an input, and none of those the program names
// may be a pipe, device or folder. Returns kExitOk or the exit code.
int GuardTargets(const RipOptions& options, const std::vector<std::string>& touched,
                 const std::vector<std::string>& named) {
    if (OverwritesInput(options, touched)) return kExitUsage;
    if (TakenByOther(named)) return kExitFailed;
    return kExitOk;
}

// A format's refusal of these samples, said on stderr; true when refused.
bool Refused(const FileFormat& format, const SampleSet& set, const RipPlan& plan, bool joined,
             const std::string& shown, const WriteSettings& settings) {
    if (!format.refusal) return false;
    std::vector<std::string> names;
    for (const PlannedFile& file : plan.files) names.push_back(file.name);
    std::string refusal = format.refusal(set, PlannedSamples(plan), names, joined, shown, settings);
    if (refusal.empty()) return false;
    std::fprintf(stderr, "voxtrawl-cli: %s\n", refusal.c_str());
    return true;
}

// All planned samples in one file of the format, at a name the user gave
// (which may be a device or standard output) or named after the input;
// the exit code.
int SaveOneFile(const RipOptions& options, const SampleSet& set, const RipPlan& plan, const std::string& path,
                const WriteSettings& settings, bool userNamed, const FileFormat* as = nullptr) {
    const FileFormat& format = as ? *as : options.samples.Format();
    bool toOut = path == kStandardOutputPath;
    std::string shown = toOut ? "standard output" : Quoted(path);
    if (plan.files.empty()) return SayNothingWritten(set, shown);
    if (!userNamed) {
        if (int guarded = GuardTargets(options, {path}, {path})) return guarded;
    }
    if (Refused(format, set, plan, true, shown, settings)) return kExitFailed;
    if (!userNamed && !options.out.empty() && !CreateFolder(options.out)) return kExitFailed;
    OutputFile file;
    int error = 0;
    if (toOut) {
        PrepareOutForFile();
        file.stream = stdout;
        error = format.writeSet(set, PlannedSamples(plan), settings, file);
        if (!error) error = FinishOut();
    } else if (!(error = OpenOutput(path, file, userNamed))) {
        error = format.writeSet(set, PlannedSamples(plan), settings, file);
        if (error) AbandonOutput(file);
        else error = FinishOutput(file);
        if (error) LogPrint("\r\nCan't write file %s.", path.c_str());
        else if (format.savedNote) LogPrint("%s", format.savedNote(path, plan.files.size(), settings).c_str());
        else LogPrint("\r\nSaved %s.", path.c_str());
    }
    if (!error) return kExitOk;
    FlushOut();
    std::fprintf(stderr, "voxtrawl-cli: cannot write %s: %s\n", toOut ? "to standard output" : shown.c_str(),
                 error == kNotAFile ? "not a regular file" : std::strerror(error));
    return kExitFailed;
}

// Every planned sample as a file of its own in the folder; the exit code.
// A folder of numbered files is cleaned and checked for an earlier rip's
// files; a folder that a named file goes to is the user's own.
int SaveFolder(const RipOptions& options, const SampleSet& set, const RipPlan& plan, const std::string& folder,
               const WriteSettings& settings, bool numbered) {
    const FileFormat& format = options.samples.Format();
    std::vector<std::string> targets;
    for (const PlannedFile& file : plan.files) targets.push_back(InFolder(folder, file.name));
    std::vector<std::string> earlier =
        options.clean && numbered ? SampleFilesIn(folder) : std::vector<std::string>();
    std::vector<std::string> touched = targets;
    for (const std::string& name : earlier) touched.push_back(InFolder(folder, name));
    if (int guarded = GuardTargets(options, touched, targets)) return guarded;
    if (Refused(format, set, plan, false, Quoted(folder), settings)) return kExitFailed;
    if (!CreateFolder(folder)) return kExitFailed;
    if (!CleanFolder(folder, earlier)) return kExitFailed;
    WriteOutcome outcome = WriteFolder(set, plan, format, settings, folder);
    if (numbered) NoteStaleFiles(folder, plan, options.clean);
    if (outcome.Ok()) return kExitOk;
    FlushOut();
    std::fprintf(stderr, "voxtrawl-cli: cannot write %s: %s\n", Quoted(outcome.failedPath).c_str(),
                 outcome.error == kNotAFile ? "not a regular file" : std::strerror(outcome.error));
    return kExitFailed;
}

// The folder a named file goes to, for writing it as a folder's only file.
std::string FolderOf(const std::string& path) {
    fs::path parent = PathFromNative(path).parent_path();
    return parent.empty() ? "." : NativeFromPath(parent);
}

// --used-only: the entries the song keyed (or that share a keyed entry's words).
void KeepUsed(const SampleSet& set, const SongPlay& song, RipPlan& plan) {
    plan.files.erase(std::remove_if(plan.files.begin(), plan.files.end(),
                                    [&](const PlannedFile& file) { return !SavedSamplePlay(set, *file.sample, song); }),
                     plan.files.end());
}

// The song as NAME.mid with its SoundFont NAME.sf2 beside it; the exit code.
int SaveSongPair(const RipOptions& options, const SampleSet& set, const RipPlan& plan, const std::string& midiPath,
                 const WriteSettings& settings) {
    // Only a snapshot's run has a song: like render, anything else is a usage error.
    if (!settings.song && Refused(options.samples.Format(), set, plan, true, Quoted(midiPath), settings))
        return kExitUsage;
    std::string soundFont = NativeFromPath(PathFromNative(midiPath).replace_extension(".sf2"));
    // Both targets are checked before either is written.
    if (!plan.files.empty()) {
        if (int guarded = GuardTargets(options, {soundFont, midiPath}, {soundFont, midiPath})) return guarded;
    }
    if (int saved = SaveOneFile(options, set, plan, soundFont, settings, false, FindFileFormat("sf2"))) return saved;
    return SaveOneFile(options, set, plan, midiPath, settings, false);
}

// One input: open it as a sample set, name what it writes, write it whole.
int RipOne(CliLog& log, const RipOptions& options, const std::string& input, const Destination& destination) {
    SampleSet set;
    int status = OpenSampleInput(log, input, options.samples, options.settings, set);
    if (status != kExitOk) return status;
    std::unique_ptr<SongPlay> song;
    if ((status = PlayInputSong(set, options.samples, song)) != kExitOk) return status;
    if (options.samples.usedOnly && !song && set.kind == InputKind::Spc) {
        std::fprintf(stderr, "voxtrawl-cli: --used-only needs the song's run; it cannot go with --play 0.\n");
        return kExitUsage;
    }
    if (song) LogPrint("\r\n%s", SongSummaryLine(*song).c_str());
    MidiSongCounts counts;
    WriteSettings settings;
    settings.song = song.get();
    settings.midiCounts = &counts;
    settings.rate = RateFor(set, options.samples, options.settings.rate);
    settings.brrLoopHeader = options.samples.brrLoopHeader;
    settings.bankName = NativeToUtf8(NativeFromPath(PathFromNative(set.path).filename()));
    settings.maxWavPcm = WavLimit();
    RipPlan plan = PlanFiles(set, options.samples.Format(), options.samples.skipSilent);
    if (options.samples.usedOnly && song) KeepUsed(set, *song, plan);
    int saved = kExitOk;
    if (std::string(options.samples.Format().name) == "midi")
        saved = SaveSongPair(options, set, plan, destination.path, settings);
    else if (!options.oneFile.empty()) saved = SaveOneFile(options, set, plan, options.oneFile, settings, true);
    else if (!options.samples.Format().PerSample())
        saved = SaveOneFile(options, set, plan, destination.path, settings, false);
    else if (!destination.folder) saved = SaveFolder(options, set, plan, FolderOf(destination.path), settings, false);
    // Nothing found: nothing to write, and no folder made for it.
    else if (!set.samples.empty()) saved = SaveFolder(options, set, plan, destination.path, settings, true);
    return saved != kExitOk ? saved : set.memoryDropped ? kExitFailed : kExitOk;
}

int RunRip(const RipOptions& options) {
    std::vector<Destination> destinations = DestinationsFor(options);
    if (options.oneFile.empty() && SharedDestination(options, destinations)) return kExitUsage;
    if (!options.oneFile.empty() && options.oneFile != kStandardOutputPath &&
        OverwritesInput(options, {options.oneFile}))
        return kExitUsage;
    // The file alone goes to stdout when it is the target.
    CliLog log(options.oneFile == kStandardOutputPath ? stderr : stdout);
    int status = kExitOk;
    for (size_t i = 0; i < options.roms.size(); ++i) {
        int ripped = RipOne(log, options, options.roms[i], destinations[i]);
        // One input that fails does not stop the others; a usage error
        // (a ROM-only option on an SPC, an output over an input) outranks a failure.
        if (ripped != kExitOk && status != kExitUsage) status = ripped;
    }
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
        const FileFormat& format = options->samples.Format();
        if (!format.writeSet && !options->oneFile.empty())
            throw CLI::ValidationError(std::string("--format ") + format.name,
                                       "writes one file per sample; it cannot go with --one-file");
        // A file named for another format would fool every program that opens it.
        const FileFormat* named = FormatNamedBy(options->oneFile);
        if (named && named != &format && !named->PerSample())
            throw CLI::ValidationError("--one-file", std::string("writes a ") + format.title + "; add --format " +
                                                         named->name + " for a " + named->title);
        if (std::string(format.name) == "midi" && !options->oneFile.empty())
            throw CLI::ValidationError("--format midi", "writes NAME.mid and NAME.sf2; it cannot go with --one-file");
        if (options->samples.brrLoopHeader && std::string(format.name) != "brr")
            throw CLI::ValidationError("--brr-loop-header", "needs --format brr");
        if (!options->oneFile.empty() && options->roms.size() != 1)
            throw CLI::ValidationError("--one-file", "takes exactly one ROM");
        action = [options]() { return RunRip(*options); };
    });
}
