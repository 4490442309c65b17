#include "cli/sample_set.h"

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>

#include "core/brr_block.h"
#include "core/brr_chip_decoder.h"
#include "core/memory.h"
#include "core/scanner.h"
#include "ui/log.h"

namespace {

constexpr int32_t kChipRate = 32000;

// The scan of an SPC's audio RAM reports its runs through a plain function.
std::vector<ScannedRun>* aramRuns = nullptr;

void CollectAramRun(uint32_t runStart, uint32_t runEnd, RunOutcome outcome) {
    aramRuns->push_back({runStart, runEnd, (app.romData[runStart] & kLoopFlag) != 0, outcome, 0, 0});
}

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

// No directory: the audio RAM is searched like a ROM image, with the
// session's minimum run, and each run becomes a numbered sample.
void ScanAram(SampleSet& set) {
    LogPrint("\r\nNo sample directory found in %s; scanning its audio RAM like a ROM.", set.path.c_str());
    app.romData = static_cast<uint8_t*>(AllocBlock(kAramBytes));
    if (!app.romData) return;
    std::memcpy(app.romData, set.aram.data(), kAramBytes);
    app.romSize = kAramBytes;
    app.romPath = set.path;
    app.ripPending = 1;
    std::vector<ScannedRun> runs;
    aramRuns = &runs;
    SetRunObserver(CollectAramRun);
    ScanRom();
    SetRunObserver(nullptr);
    aramRuns = nullptr;
    FreeAll();
    for (const ScannedRun& run : runs) {
        SetSample sample{};
        sample.number = static_cast<uint32_t>(set.samples.size()) + 1;
        sample.dataStart = run.start;
        sample.blocks = BlocksInRun(run.start, run.end);
        sample.loop = (set.aram[run.end] & kLoopFlag) != 0;
        set.samples.push_back(sample);
    }
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
                    "How a ROM maps into the SNES address space (default: detected from its internal header)")
        ->transform(OneOfNames(mappings));
}

void AddRipFormatOptions(CLI::App& command, SampleOptions& options) {
    std::map<std::string, bool> formats{{"wav", false}, {"brr", true}};
    command.add_option("--format", options.brrFormat, "wav (decoded PCM) or brr (the raw blocks)")
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

int32_t RateFor(bool isSpc, const SampleOptions& options, int32_t rate) {
    return isSpc && !options.rateGiven ? kChipRate : rate;
}

uint64_t SampleSet::PcmBytes(const SetSample& sample) const {
    if (decoder == DecoderKind::Chip) return uint64_t{sample.blocks} * kSamplesPerBlock * 2;
    return sample.stored ? sample.specBytes : 0;
}

bool SampleSet::Decode(const SetSample& sample, std::vector<int16_t>& pcm) const {
    if (decoder == DecoderKind::Chip) {
        pcm.resize(static_cast<size_t>(sample.blocks) * kSamplesPerBlock);
        std::vector<uint8_t> blocks = Blocks(sample);
        DecodeBrrChip(blocks.data(), sample.blocks, pcm.data());
        return true;
    }
    if (!sample.stored || !tableKept) return false;
    const int16_t* stored = app.sampleData[sample.slot];
    pcm.assign(stored, stored + app.sampleBytes[sample.slot] / 2);
    return true;
}

std::vector<uint8_t> SampleSet::Blocks(const SetSample& sample) const {
    std::vector<uint8_t> blocks(static_cast<size_t>(sample.blocks) * kBlockBytes, 0);
    size_t available = std::min<size_t>(blocks.size(), dataSize - sample.dataStart);
    std::copy(data + sample.dataStart, data + sample.dataStart + available, blocks.begin());
    return blocks;
}

std::string SampleSet::BaseName(const SetSample& sample) const {
    // ROM files are numbered by table slot, as the ripper saves them.
    if (!sample.fromDirectory) return std::to_string(isSpc ? sample.number : sample.slot + 1);
    char name[8];
    std::snprintf(name, sizeof name, "%02X", static_cast<unsigned>(sample.spc.index));
    return name;
}

bool SampleSet::Saved(const SetSample& sample) const {
    if (sample.fromDirectory) return sample.spc.sameAs < 0;
    return isSpc || sample.stored;
}

bool LooksLikeSpc(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char head[32] = {};
    file.read(head, sizeof head);
    return HasSpcSignature(reinterpret_cast<const uint8_t*>(head), static_cast<size_t>(file.gcount()));
}

bool LoadSpcSet(CliPlatform& /*platform*/, const std::string& path, SampleSet& set, std::string& reason) {
    std::vector<uint8_t> file;
    if (!ReadWhole(path, file, reason)) return false;
    if (file.size() < kSpcMinFileBytes) {
        reason = "an SPC snapshot of " + std::to_string(file.size()) + " bytes is cut short (a whole one has at least " +
                 std::to_string(kSpcMinFileBytes) + ")";
        return false;
    }
    set.path = path;
    set.isSpc = true;
    set.decoder = DecoderKind::Chip;
    set.aram.assign(file.begin() + kSpcAramOffset, file.begin() + kSpcAramOffset + kAramBytes);
    set.data = set.aram.data();
    set.dataSize = kAramBytes;
    set.fileBias = kSpcAramOffset;
    set.directory = FindSampleDirectory(set.aram.data(), file.data() + kSpcDspOffset);
    if (set.directory.source != DirectorySource::Scan) {
        char address[8];
        std::snprintf(address, sizeof address, "$%04X", static_cast<unsigned>(set.directory.address));
        LogPrint("\r\nSPC %s: sample directory at %s (%s), %d entries.", path.c_str(), address,
                 set.directory.source == DirectorySource::Register ? "DIR register" : "set by the driver's code",
                 static_cast<int>(set.directory.samples.size()));
    }
    if (set.directory.source == DirectorySource::Scan) {
        ScanAram(set);
    } else {
        for (const SpcSample& entry : set.directory.samples) {
            SetSample sample{};
            sample.number = static_cast<uint32_t>(set.samples.size()) + 1;
            sample.dataStart = entry.start;
            sample.blocks = entry.Blocks();
            sample.loop = entry.loop != LoopKind::None;
            sample.fromDirectory = true;
            sample.spc = entry;
            set.samples.push_back(sample);
        }
    }
    MarkSilent(set);
    return true;
}

void BuildRomSet(const std::string& path, const std::vector<ScannedRun>& runs, const SampleOptions& options,
                 SampleSet& set) {
    set.path = path;
    set.decoder = options.decoder;
    set.data = app.romData;
    set.dataSize = app.romData ? app.romSize : 0;
    if (app.romData) set.layout = DetectRomLayout(app.romData, app.romSize);
    if (options.mappingGiven) set.layout.mapping = options.mapping;
    std::vector<int16_t> pcm;
    for (const ScannedRun& run : runs) {
        SetSample sample{};
        sample.number = static_cast<uint32_t>(set.samples.size()) + 1;
        sample.dataStart = run.start;
        sample.blocks = BlocksInRun(run.start, run.end);
        sample.loop = run.loop;
        sample.stored = run.Stored();
        sample.slot = run.slot;
        sample.notStored = run.NotStoredReason();
        sample.specBytes = run.Stored() ? run.bytes : 0;
        // The table keeps what the scan stored; chip PCM of a run it did
        // not keep is never saved, so it is not looked at either.
        if (sample.stored && set.Decode(sample, pcm)) sample.silent = IsSilent(pcm.data(), pcm.size()) ? 1 : 0;
        // A lean scan noted the specified decoder's silence before letting go.
        if (sample.stored && !set.tableKept && set.decoder == DecoderKind::Spec) sample.silent = run.silent;
        set.samples.push_back(sample);
    }
}

void MarkSilent(SampleSet& set) {
    std::vector<int16_t> pcm;
    for (SetSample& sample : set.samples)
        if (set.Decode(sample, pcm)) sample.silent = IsSilent(pcm.data(), pcm.size()) ? 1 : 0;
}

int OpenInput(CliPlatform& platform, const std::string& path, const SampleOptions& options, SampleSet& set,
              bool keepPcm) {
    if (LooksLikeSpc(path)) {
        if (options.decoderGiven && options.decoder == DecoderKind::Spec) {
            std::fprintf(stderr,
                         "voxtrawl-cli: '%s' is an SPC snapshot, whose samples are always decoded by the chip "
                         "decoder; --decoder spec applies to ROMs only.\n",
                         path.c_str());
            return kExitUsage;
        }
        std::string reason;
        if (!LoadSpcSet(platform, path, set, reason)) {
            std::fflush(stdout);
            std::fprintf(stderr, "voxtrawl-cli: cannot read '%s': %s\n", path.c_str(), reason.c_str());
            return kExitFailed;
        }
        return kExitOk;
    }
    std::vector<ScannedRun> runs;
    if (!LoadAndScan(platform, path, runs, keepPcm)) return kExitFailed;
    set.tableKept = keepPcm;
    BuildRomSet(path, runs, options, set);
    set.memoryDropped = ReportNotStored(runs) != kExitOk;
    return kExitOk;
}
