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
#include <map>
#include <memory>
#include <set>
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

// The files a rip writes, resolved, for comparing.
std::set<fs::path> ResolvedAll(const std::vector<std::string>& files) {
    std::set<fs::path> resolved;
    for (const std::string& file : files) resolved.insert(Resolved(file));
    return resolved;
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

// The sample files in a folder that this command does not write.
std::vector<std::string> EarlierFilesIn(const std::string& folder, const std::set<fs::path>& commandFiles) {
    std::vector<std::string> earlier;
    for (const std::string& name : SampleFilesIn(folder))
        if (!commandFiles.count(Resolved(InFolder(folder, name)))) earlier.push_back(name);
    return earlier;
}

// The input a file is (or links to), or nullptr.
const std::string* InputAt(const RipOptions& options, const std::string& file) {
    for (const std::string& input : options.roms)
        if (SameFile(file, input)) return &input;
    return nullptr;
}

// An output that is one of the inputs would destroy it; --clean would
// remove one that lies among an earlier rip's files. Names the first.
bool OverwritesInput(const RipOptions& options, const std::vector<std::string>& outputs, bool removed = false) {
    for (const std::string& output : outputs) {
        const std::string* input = InputAt(options, output);
        if (!input) continue;
        const char* kind = InputKindName(InputKindOf(*input));
        if (removed)
            std::fprintf(stderr, "voxtrawl-cli: %s is the %s %s itself (or a link to it); --clean would remove it. "
                                 "Rip without --clean, or move it out of the folder.\n",
                         Quoted(output).c_str(), kind, Quoted(*input).c_str());
        else
            std::fprintf(stderr, "voxtrawl-cli: %s is the %s %s itself (or a link to it); writing there would "
                                 "destroy the %s. Choose another output.\n",
                         Quoted(output).c_str(), kind, Quoted(*input).c_str(), kind);
        return true;
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
bool CleanFolder(const std::vector<std::string>& earlier) {
    for (const std::string& path : earlier) {
        if (int error = RemoveFile(path)) {
            std::fprintf(stderr, "voxtrawl-cli: cannot remove %s: %s\n", Quoted(path).c_str(), std::strerror(error));
            return false;
        }
    }
    return true;
}

// Sample files beside the ones just written are an earlier rip's, and
// would pass for this one's; the command's own inputs and files are not.
void NoteStaleFiles(const RipOptions& options, const std::string& folder, const std::set<fs::path>& commandFiles,
                    bool clean) {
    std::vector<std::string> stale;
    for (const std::string& name : EarlierFilesIn(folder, commandFiles))
        if (!InputAt(options, InFolder(folder, name))) stale.push_back(name);
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

// One input of the command, opened and planned before anything is written:
// its set, the files it writes and where they go.
struct PlannedInput {
    int status = kExitOk;  // of opening it
    SampleSet set;
    RipPlan plan;
    WriteSettings settings;
    std::string folder;                 // of its files, when it writes one per sample
    bool numbered = false;              // a folder of numbered files, cleaned and checked for stale ones
    std::string file;                   // its one file, when it writes one per set
    bool userNamed = false;             // that file is --one-file's
    std::vector<std::string> targets;   // every file it writes
    std::unique_ptr<SongPlay> song;     // an SPC's run, unless --play 0
    MidiSongCounts midiCounts;          // what its MIDI file holds, once written
    std::string soundFont;              // --format midi: the SoundFont beside the MIDI file
};

// The guards of every file a rip is about to write or remove, applied
// before any is: none may be an input, and none of those the program names
// may be a pipe, device or folder. Returns kExitOk or the exit code.
int GuardTargets(const RipOptions& options, const std::vector<std::string>& written,
                 const std::vector<std::string>& removed, const std::vector<std::string>& named) {
    if (OverwritesInput(options, written) || OverwritesInput(options, removed, true)) return kExitUsage;
    if (TakenByOther(named)) return kExitFailed;
    return kExitOk;
}

// The format of the song and its SoundFont.
bool IsMidi(const FileFormat& format) { return std::string(format.name) == "midi"; }

// A format's refusal of these samples, said on stderr; true when refused.
bool Refused(const FileFormat& format, const PlannedInput& input, bool joined, const std::string& shown) {
    if (!format.refusal) return false;
    std::vector<std::string> names;
    for (const PlannedFile& file : input.plan.files) names.push_back(file.name);
    std::string refusal = format.refusal(input.set, PlannedSamples(input.plan), names, joined, shown, input.settings);
    if (refusal.empty()) return false;
    std::fprintf(stderr, "voxtrawl-cli: %s\n", refusal.c_str());
    return true;
}

// All planned samples in one file of the format, at a name the user gave
// (which may be a device or standard output) or named after the input;
// the exit code.
int SaveOneFile(const RipOptions& options, const PlannedInput& input, const FileFormat* as = nullptr,
                const std::string* at = nullptr) {
    const FileFormat& format = as ? *as : options.samples.Format();
    const std::string& path = at ? *at : input.file;
    const SampleSet& set = input.set;
    const WriteSettings& settings = input.settings;
    bool toOut = path == kStandardOutputPath;
    std::string shown = toOut ? "standard output" : Quoted(path);
    if (input.plan.files.empty()) return SayNothingWritten(set, shown);
    if (!input.userNamed) {
        if (int guarded = GuardTargets(options, {path}, {}, {path})) return guarded;
    }
    if (Refused(format, input, true, shown)) return kExitFailed;
    if (!input.userNamed && !options.out.empty() && !CreateFolder(options.out)) return kExitFailed;
    std::vector<const SetSample*> samples = PlannedSamples(input.plan);
    OutputFile file;
    int error = 0;
    if (toOut) {
        PrepareOutForFile();
        file.stream = stdout;
        error = format.writeSet(set, samples, settings, file);
        if (!error) error = FinishOut();
    } else if (!(error = OpenOutput(path, file, input.userNamed))) {
        error = format.writeSet(set, samples, settings, file);
        if (error) AbandonOutput(file);
        else error = FinishOutput(file);
        if (error) LogPrint("\r\nCan't write file %s.", ShownText(path).c_str());
        else if (format.savedNote) LogPrint("%s", format.savedNote(path, samples.size(), settings).c_str());
        else LogPrint("\r\nSaved %s.", ShownText(path).c_str());
    }
    if (!error) return kExitOk;
    FlushOut();
    std::fprintf(stderr, "voxtrawl-cli: cannot write %s: %s\n", toOut ? "to standard output" : shown.c_str(),
                 error == kNotAFile ? "not a regular file" : std::strerror(error));
    return kExitFailed;
}

// Every planned sample as a file of its own in the folder; the exit code.
// A folder of numbered files is cleaned and checked for an earlier rip's
// files (not the command's own); a folder that a named file goes to is the
// user's own.
int SaveFolder(const RipOptions& options, const PlannedInput& input, const std::set<fs::path>& commandFiles) {
    const FileFormat& format = options.samples.Format();
    const std::string& folder = input.folder;
    std::vector<std::string> earlier;
    if (options.clean && input.numbered) {
        for (const std::string& name : EarlierFilesIn(folder, commandFiles)) earlier.push_back(InFolder(folder, name));
    }
    if (int guarded = GuardTargets(options, input.targets, earlier, input.targets)) return guarded;
    if (Refused(format, input, false, Quoted(folder))) return kExitFailed;
    if (!CreateFolder(folder)) return kExitFailed;
    if (!CleanFolder(earlier)) return kExitFailed;
    WriteOutcome outcome = WriteFolder(input.set, input.plan, format, input.settings, folder);
    if (input.numbered) NoteStaleFiles(options, folder, commandFiles, options.clean);
    if (outcome.Ok()) return kExitOk;
    FlushOut();
    std::fprintf(stderr, "voxtrawl-cli: cannot write %s: %s\n", Quoted(outcome.failedPath).c_str(),
                 outcome.error == kNotAFile ? "not a regular file" : std::strerror(outcome.error));
    return kExitFailed;
}

// The song as NAME.mid with its SoundFont NAME.sf2 beside it, both checked
// before either is written; the exit code.
int SaveSongPair(const RipOptions& options, const PlannedInput& input) {
    // Only a snapshot's run has a song: like render, anything else is a usage error.
    if (!input.song && Refused(options.samples.Format(), input, true, Quoted(input.file))) return kExitUsage;
    if (!input.plan.files.empty()) {
        if (int guarded = GuardTargets(options, input.targets, {}, input.targets)) return guarded;
    }
    if (int saved = SaveOneFile(options, input, FindFileFormat("sf2"), &input.soundFont)) return saved;
    return SaveOneFile(options, input);
}

// --used-only: the entries the song keyed (or that share a keyed entry's words).
void KeepUsed(const SampleSet& set, const SongPlay& song, RipPlan& plan) {
    plan.files.erase(std::remove_if(plan.files.begin(), plan.files.end(),
                                    [&](const PlannedFile& file) { return !SavedSamplePlay(set, *file.sample, song); }),
                     plan.files.end());
}

// Plays an SPC's song for the input, as --play and --used-only ask; false
// after saying why when they cannot go with it.
bool PlayForInput(const RipOptions& options, PlannedInput& input) {
    input.status = PlayInputSong(input.set, options.samples, input.song);
    if (input.status != kExitOk) return false;
    if (options.samples.usedOnly && !input.song && input.set.kind == InputKind::Spc) {
        std::fprintf(stderr, "voxtrawl-cli: --used-only needs the song's run; it cannot go with --play 0.\n");
        input.status = kExitUsage;
        return false;
    }
    if (input.song) LogPrint("\r\n%s", SongSummaryLine(*input.song).c_str());
    input.settings.song = input.song.get();
    input.settings.midiCounts = &input.midiCounts;
    return true;
}

// The folder a named file goes to, for writing it as a folder's only file.
std::string FolderOf(const std::string& path) {
    fs::path parent = PathFromNative(path).parent_path();
    return parent.empty() ? "." : NativeFromPath(parent);
}

// Opens one input and names every file it writes.
void PlanInput(CliLog& log, const RipOptions& options, const std::string& path, const Destination& destination,
               PlannedInput& input) {
    input.status = OpenSampleInput(log, path, options.samples, options.settings, input.set);
    if (input.status != kExitOk || !PlayForInput(options, input)) return;
    const SampleSet& set = input.set;
    const FileFormat& format = options.samples.Format();
    input.settings.rate = RateFor(set, options.samples, options.settings.rate);
    input.settings.brrLoopHeader = options.samples.brrLoopHeader;
    input.settings.bankName = NativeToUtf8(NativeFromPath(PathFromNative(set.path).filename()));
    input.settings.maxWavPcm = WavLimit();
    input.plan = PlanFiles(set, format, options.samples.skipSilent);
    if (options.samples.usedOnly && input.song) KeepUsed(set, *input.song, input.plan);
    if (!options.oneFile.empty() || !format.PerSample()) {
        input.userNamed = !options.oneFile.empty();
        input.file = input.userNamed ? options.oneFile : destination.path;
        if (IsMidi(format)) input.soundFont = NativeFromPath(PathFromNative(input.file).replace_extension(".sf2"));
        if (!input.plan.files.empty()) input.targets.push_back(input.file);
        if (!input.plan.files.empty() && IsMidi(format)) input.targets.push_back(input.soundFont);
        return;
    }
    // Nothing found: nothing to write, and no folder made for it.
    if (destination.folder && set.samples.empty()) return;
    input.folder = destination.folder ? destination.path : FolderOf(destination.path);
    input.numbered = destination.folder;
    for (const PlannedFile& file : input.plan.files) input.targets.push_back(InFolder(input.folder, file.name));
}

// A file that two inputs would write would keep only the later one's
// sample; names the first, or returns false.
bool SharedTarget(const RipOptions& options, const std::vector<std::unique_ptr<PlannedInput>>& inputs) {
    std::map<fs::path, size_t> writer;
    for (size_t i = 0; i < inputs.size(); ++i) {
        for (const std::string& target : inputs[i]->targets) {
            auto claimed = writer.emplace(Resolved(target), i);
            if (claimed.second || claimed.first->second == i) continue;
            std::fprintf(stderr, "voxtrawl-cli: %s and %s would both write the file %s; nothing was written. Rip "
                                 "them one at a time with --out.\n",
                         Quoted(options.roms[claimed.first->second]).c_str(), Quoted(options.roms[i]).c_str(),
                         Quoted(target).c_str());
            return true;
        }
    }
    return false;
}

// Writes one planned input; the exit code.
int WriteInput(const RipOptions& options, const PlannedInput& input, const std::set<fs::path>& commandFiles) {
    if (input.status != kExitOk) return input.status;
    int saved = kExitOk;
    if (IsMidi(options.samples.Format())) saved = SaveSongPair(options, input);
    else if (!input.file.empty()) saved = SaveOneFile(options, input);
    else if (!input.folder.empty()) saved = SaveFolder(options, input, commandFiles);
    return saved != kExitOk ? saved : input.set.memoryDropped ? kExitFailed : kExitOk;
}

int RunRip(const RipOptions& options) {
    std::vector<Destination> destinations = DestinationsFor(options);
    if (options.oneFile.empty() && SharedDestination(options, destinations)) return kExitUsage;
    if (!options.oneFile.empty() && options.oneFile != kStandardOutputPath &&
        OverwritesInput(options, {options.oneFile}))
        return kExitUsage;
    // The file alone goes to stdout when it is the target.
    CliLog log(options.oneFile == kStandardOutputPath ? stderr : stdout);
    // Every input is opened and every name planned before anything is written.
    std::vector<std::unique_ptr<PlannedInput>> inputs;
    std::vector<std::string> allTargets;
    for (size_t i = 0; i < options.roms.size(); ++i) {
        inputs.push_back(std::make_unique<PlannedInput>());
        PlanInput(log, options, options.roms[i], destinations[i], *inputs.back());
        allTargets.insert(allTargets.end(), inputs.back()->targets.begin(), inputs.back()->targets.end());
    }
    if (SharedTarget(options, inputs)) return kExitUsage;
    const std::set<fs::path> commandFiles = ResolvedAll(allTargets);
    int status = kExitOk;
    for (const std::unique_ptr<PlannedInput>& input : inputs) {
        int ripped = WriteInput(options, *input, commandFiles);
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
        if (IsMidi(format) && !options->oneFile.empty())
            throw CLI::ValidationError("--format midi", "writes NAME.mid and NAME.sf2; it cannot go with --one-file");
        if (options->samples.brrLoopHeader && std::string(format.name) != "brr")
            throw CLI::ValidationError("--brr-loop-header", "needs --format brr");
        if (!options->oneFile.empty() && options->roms.size() != 1)
            throw CLI::ValidationError("--one-file", "takes exactly one ROM");
        action = [options]() { return RunRip(*options); };
    });
}
