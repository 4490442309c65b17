#include "cli/sample_options.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

#include "cli/standard_output.h"
#include "engine/log/shown_text.h"

namespace {

constexpr int32_t kChipRate = 32000;

// Takes one of these names (not the numbers behind them, as CLI11's own
// transformers would) and lists them in the help.
template <typename T>
CLI::Validator OneOfNames(const std::map<std::string, T>& names) {
    std::string list;
    for (const auto& entry : names) list += (list.empty() ? "" : "|") + entry.first;
    return CLI::Validator(
        [names, list](std::string& input) -> std::string {
            auto found = names.find(input);
            if (found == names.end()) return "takes " + list + ", not '" + input + "'";
            input = std::to_string(static_cast<int>(found->second));
            return {};
        },
        list);
}

// After a scan, says on stderr how many runs were not stored and why.
void ReportNotStored(const OpenedInput& opened) {
    unsigned limit = opened.notStoredLimit;
    unsigned memory = opened.notStoredMemory;
    if (memory > 0)
        std::fprintf(stderr, "voxtrawl-cli: %u %s not stored: there was not enough memory to decode %s.\n", memory,
                     memory == 1 ? "run was" : "runs were", memory == 1 ? "it" : "them");
    if (limit > 0)
        std::fprintf(stderr,
                     "voxtrawl-cli: %u qualifying %s not stored: a rip keeps %u samples at most; a higher "
                     "--min-run finds fewer runs.\n",
                     limit, limit == 1 ? "run was" : "runs were", kMaxSamples);
}

}  // namespace

void AddSampleOptions(CLI::App& command, SampleOptions& options) {
    std::map<std::string, DecoderKind> decoders{{"spec", DecoderKind::Spec}, {"chip", DecoderKind::Chip}};
    command
        .add_option("--decoder", options.decoder,
                    "spec: the program's own arithmetic, without the end block (the default for ROMs); "
                    "chip: the sound chip's, every block included (always used for SPC files)")
        ->transform(OneOfNames(decoders));
    std::map<std::string, RomMapping> mappings{
        {"lorom", RomMapping::LoRom}, {"hirom", RomMapping::HiRom}, {"exhirom", RomMapping::ExHiRom},
        {"none", RomMapping::None}};
    command
        .add_option("--mapping", options.mapping,
                    "How a ROM maps into the SNES address space (default: detected from its internal header); "
                    "refused for an SPC snapshot, whose samples have audio RAM addresses")
        ->transform(OneOfNames(mappings));
    command
        .add_option("--play", options.play,
                    "SPC snapshots: run the song this many seconds first and report what it keys (default: as "
                    "long as render plays it; 0: do not run it)")
        ->check(DecimalSeconds(kLongestPlaySeconds));
}

void AddRipFormatOptions(CLI::App& command, SampleOptions& options) {
    std::map<std::string, int> formats;
    std::string help;
    const std::vector<FileFormat>& table = FileFormats();
    for (size_t k = 0; k < table.size(); ++k) {
        formats[table[k].name] = static_cast<int>(k);
        help += std::string(k == 0 ? "" : k + 1 == table.size() ? " or " : ", ") + table[k].name + " (" +
                table[k].description + ")";
    }
    command.add_option("--format", options.format, help)->transform(OneOfNames(formats));
    command.add_flag("--brr-loop-header", options.brrLoopHeader,
                     "With --format brr: start each file with its 2-byte loop offset (0 when it does not loop)");
    command.add_flag("--skip-silent", options.skipSilent,
                     "Do not save samples whose PCM is all zero (the others keep their numbers)");
    command.add_flag("--used-only", options.usedOnly,
                     "SPC snapshots: save only the directory entries the song keys (needs a run: not with --play 0)");
}

void NoteGivenOptions(const CLI::App& command, SampleOptions& options) {
    options.decoderGiven = command.count("--decoder") > 0;
    options.rateGiven = command.count("--rate") > 0;
    options.mappingGiven = command.count("--mapping") > 0;
    options.playGiven = command.count("--play") > 0;
}

int32_t RateFor(const SampleSet& set, const SampleOptions& options, int32_t rate) {
    return !set.IsRom() && !options.rateGiven ? kChipRate : rate;
}

int OpenSampleInput(CliLog& log, const std::string& path, const SampleOptions& options, const RipSettings& settings,
                    SampleSet& set) {
    InputOptions reading;
    reading.decoder = options.decoder;
    reading.decoderGiven = options.decoderGiven;
    reading.mappingGiven = options.mappingGiven;
    reading.mapping = options.mapping;
    reading.minRun = static_cast<uint32_t>(settings.minRun);
    reading.onScanStep = [&log](uint32_t, uint32_t percent) { log.Progress(percent); };
    OpenedInput opened = OpenInput(path, reading);
    log.Finish();
    for (const std::string& text : opened.log) log.Print(text.c_str());
    if (!opened.problem.Ok()) log.PrintBox(opened.problem.caption, opened.problem.text, path);
    if (!opened.Ok()) {
        FlushOut();
        std::fprintf(stderr, "voxtrawl-cli: %s\n", opened.refusal.c_str());
        return opened.status == OpenStatus::kRefused ? kExitUsage : kExitFailed;
    }
    ReportNotStored(opened);  // set.memoryDropped carries it on
    set = std::move(opened.set);
    return kExitOk;
}

int PlayInputSong(const SampleSet& set, const SampleOptions& options, std::unique_ptr<SongPlay>& song) {
    song.reset();
    if (set.kind != InputKind::Spc) {
        if (!options.playGiven && !options.usedOnly) return kExitOk;
        FlushOut();
        std::fprintf(stderr, "voxtrawl-cli: %s plays SPC snapshots only; %s is not one.\n",
                     options.playGiven ? "--play" : "--used-only", Quoted(set.path).c_str());
        return kExitUsage;
    }
    bool skip = options.playGiven && std::strtod(options.play.c_str(), nullptr) == 0;
    if (skip) return kExitOk;
    song = std::make_unique<SongPlay>();
    double seconds = std::strtod(options.play.c_str(), nullptr);
    if (!PlaySnapshotSet(set, options.playGiven ? &seconds : nullptr, *song)) song.reset();
    return kExitOk;
}
