#include "cli/sample_options.h"

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <utility>

#include "cli/paths.h"
#include "cli/standard_output.h"
#include "engine/files/file_system.h"
#include "engine/log/log_sink.h"

namespace {

constexpr int32_t kChipRate = 32000;

// Reads a file, or a pipe, to its end.
bool ReadWhole(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        reason = std::strerror(errno);
        return false;
    }
    bytes.clear();
    uint8_t buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    bool failed = std::ferror(file) != 0;
    if (failed) reason = std::strerror(errno);
    std::fclose(file);
    return !failed;
}

// Whether a regular file starts as an SPC snapshot. A file that cannot be
// read is left to the loader, which reports it.
bool LooksLikeSpc(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char head[32] = {};
    file.read(head, sizeof head);
    return HasSpcSignature(reinterpret_cast<const uint8_t*>(head), static_cast<size_t>(file.gcount()));
}

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

// --decoder spec and --mapping on an input that is not a ROM: says so.
bool RefuseRomOnly(const std::string& path, const SampleOptions& options, const char* what) {
    const char* romOnly = options.decoderGiven && options.decoder == DecoderKind::Spec ? "--decoder spec"
                          : options.mappingGiven                                        ? "--mapping"
                                                                                        : nullptr;
    if (!romOnly) return false;
    std::fprintf(stderr, "voxtrawl-cli: %s is %s; %s applies to ROMs only.\n", Quoted(path).c_str(), what, romOnly);
    return true;
}

// A .brr instrument file: one sample, or a refusal naming its size.
int OpenBrrFile(const std::string& path, const SampleOptions& options, SampleSet& set) {
    if (RefuseRomOnly(path, options, "a BRR file, whose sample is decoded by the chip decoder")) return kExitUsage;
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadWhole(path, bytes, reason)) {
        FlushOut();
        std::fprintf(stderr, "voxtrawl-cli: cannot read %s: %s\n", Quoted(path).c_str(), reason.c_str());
        return kExitFailed;
    }
    BrrFile parsed = ReadBrrSet(path, std::move(bytes), set);
    if (!parsed.Ok()) {
        FlushOut();
        std::fprintf(stderr, "voxtrawl-cli: cannot read %s: it %s.\n", Quoted(path).c_str(),
                     DescribeBrrFileError(parsed).c_str());
        return kExitFailed;
    }
    std::string shown = ShownText(path);
    LogPrint("\r\nBRR %s: %u blocks%s.", shown.c_str(), static_cast<unsigned>(parsed.blocks),
             parsed.layout == BrrFileLayout::LoopHeader ? " after a loop offset" : "");
    if (parsed.ignoredBlocks > 0)
        LogPrint("\r\nBRR %s: the %u blocks after the end block are ignored.", shown.c_str(),
                 static_cast<unsigned>(parsed.ignoredBlocks));
    if (parsed.loop == BrrFileLoop::Unknown)
        LogPrint("\r\nBRR %s: loop point unknown: %s.", shown.c_str(), DescribeBrrLoopUnknown(parsed).c_str());
    return kExitOk;
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
}

void AddRipFormatOptions(CLI::App& command, SampleOptions& options) {
    std::map<std::string, SampleFormat> formats{
        {"wav", SampleFormat::Wav}, {"brr", SampleFormat::Brr}, {"sf2", SampleFormat::Sf2}};
    command
        .add_option("--format", options.format,
                    "wav (decoded PCM, a file per sample), brr (the raw blocks, a file per sample) or sf2 (one "
                    "SoundFont per input, NAME.sf2)")
        ->transform(OneOfNames(formats));
    command.add_flag("--brr-loop-header", options.brrLoopHeader,
                     "With --format brr: start each file with its 2-byte loop offset (0 when it does not loop)");
    command.add_flag("--skip-silent", options.skipSilent,
                     "Do not save samples whose PCM is all zero (the others keep their numbers)");
}

void NoteGivenOptions(const CLI::App& command, SampleOptions& options) {
    options.decoderGiven = command.count("--decoder") > 0;
    options.rateGiven = command.count("--rate") > 0;
    options.mappingGiven = command.count("--mapping") > 0;
}

int32_t RateFor(const SampleSet& set, const SampleOptions& options, int32_t rate) {
    return !set.IsRom() && !options.rateGiven ? kChipRate : rate;
}

FileFormat FileFormatOf(const SampleOptions& options) {
    FileFormat format;
    format.format = options.format;
    format.brrLoopHeader = options.brrLoopHeader;
    format.skipSilent = options.skipSilent;
    return format;
}

int OpenInput(CliPlatform& platform, const std::string& path, const SampleOptions& options, SampleSet& set) {
    if (IsBrrFileName(path)) return OpenBrrFile(path, options, set);
    FileInfo info;
    // A pipe or FIFO is read to its end whatever its size says; a regular
    // file is only peeked at, so that a ROM is not read twice.
    bool stream = StatFile(path, info) == 0 && info.kind == FileKind::kOther;
    std::vector<uint8_t> bytes;
    std::string reason;
    bool spc = stream ? ReadWhole(path, bytes, reason) && HasSpcSignature(bytes.data(), bytes.size())
                      : LooksLikeSpc(path);
    if (!spc && !stream) {
        std::vector<ScannedRun> runs;
        if (!LoadAndScan(platform, path, runs)) return kExitFailed;
        BuildRomSet(path, app.romData, app.romSize, runs, options.decoder, set);
        if (options.mappingGiven) set.layout.mapping = options.mapping;
        ReportNotStored(runs);  // set.memoryDropped carries it on
        return kExitOk;
    }
    if (!spc) {
        std::vector<ScannedRun> runs;
        if (!reason.empty() || !LoadAndScanBytes(platform, path, bytes, runs)) {
            if (!reason.empty()) std::fprintf(stderr, "voxtrawl-cli: cannot read %s: %s\n", Quoted(path).c_str(), reason.c_str());
            return kExitFailed;
        }
        BuildRomSet(path, app.romData, app.romSize, runs, options.decoder, set);
        if (options.mappingGiven) set.layout.mapping = options.mapping;
        ReportNotStored(runs);  // set.memoryDropped carries it on
        return kExitOk;
    }
    if (RefuseRomOnly(path, options,
                      "an SPC snapshot, whose samples are decoded by the chip decoder at their audio RAM addresses"))
        return kExitUsage;
    if (!stream && !ReadWhole(path, bytes, reason)) {
        FlushOut();
        std::fprintf(stderr, "voxtrawl-cli: cannot read %s: %s\n", Quoted(path).c_str(), reason.c_str());
        return kExitFailed;
    }
    SpcReading reading = ReadSpcSet(path, bytes, static_cast<uint32_t>(app.minRunBytes), set);
    if (reading.cutShort) {
        FlushOut();
        std::fprintf(stderr,
                     "voxtrawl-cli: cannot read %s: an SPC snapshot of %zu bytes is cut short (a whole one has at "
                     "least %zu)\n",
                     Quoted(path).c_str(), bytes.size(), kSpcMinFileBytes);
        return kExitFailed;
    }
    std::string shown = ShownText(path);
    if (set.directory.source != DirectorySource::Scan) {
        char address[8];
        std::snprintf(address, sizeof address, "$%04X", static_cast<unsigned>(set.directory.address));
        LogPrint("\r\nSPC %s: sample directory at %s (%s), %d entries.", shown.c_str(), address,
                 set.directory.source == DirectorySource::Register ? "DIR register" : "set by the driver's code",
                 static_cast<int>(set.directory.samples.size()));
    } else {
        LogPrint("\r\nNo sample directory found in %s; scanning its audio RAM like a ROM.", shown.c_str());
        if (reading.tableFull) LogPrint("\r\nMax of %d samples reached.", static_cast<int>(kMaxSamples));
    }
    return kExitOk;
}
