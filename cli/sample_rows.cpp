#include "cli/sample_rows.h"

#include "cli/song_rows.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

std::string Hex(uint32_t offset, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(offset));
    return text;
}

OrderedJson SnesAddressJson(const SampleSet& set, uint32_t dataOffset) {
    uint32_t bus = 0;
    if (!set.IsRom() || !SnesAddress(set.layout, dataOffset, bus)) return nullptr;
    return FormatSnesAddress(bus);
}

OrderedJson MappingJson(const SampleSet& set) {
    if (!set.IsRom() || set.layout.mapping == RomMapping::None) return nullptr;
    return MappingName(set.layout.mapping);
}

const char* SourceName(DirectorySource source) {
    switch (source) {
    case DirectorySource::Register: return "register";
    case DirectorySource::Code: return "code";
    default: return "scan";
    }
}

double Seconds(const SampleSet& set, const SetSample& sample, int32_t rate) {
    return static_cast<double>(set.PcmBytes(sample)) / 2.0 / rate;
}

std::string SilentText(const SetSample& sample) {
    int silent = sample.measures.silent;
    return silent < 0 ? "-" : silent ? "yes" : "no";
}

// The loop as the table shows it, for SPC entries and ROM runs alike:
// its address and first sample ("*" when the loop word was an offset).
std::string LoopText(const SpcSample& spc, bool unknown) {
    return spc.LoopKnown() ? Hex(spc.loopAddress, 4) : unknown ? "?" : "-";
}
std::string LoopFromText(const SpcSample& spc) {
    return spc.LoopKnown() ? std::to_string(spc.LoopStartSample()) + (spc.loop == LoopKind::Offset ? "*" : "") : "-";
}

// Why a ROM run's loop stays unknown, or null.
OrderedJson RomLoopUnknownJson(const SetSample& sample) {
    if (sample.rom.loopUnknownReason) return sample.rom.loopUnknownReason;
    if (sample.rom.named && sample.rom.aram.loop == LoopKind::Unknown) return "its directory entry's loop word names no block of it";
    return nullptr;
}

// Where a transfer stream puts a ROM run and, when a directory entry in
// it names the run, the loop that entry gives; null where unknown.
void AddRomAramFields(const SetSample& sample, OrderedJson& row) {
    const RomRun& rom = sample.rom;
    const SpcSample& spc = rom.aram;
    bool fromEntry = rom.named && spc.loop != LoopKind::Unknown;
    row["aramStart"] = rom.hasAram ? OrderedJson(spc.start) : OrderedJson(nullptr);
    row["aramLoop"] = spc.LoopKnown() ? OrderedJson(spc.loopAddress) : OrderedJson(nullptr);
    row["aramEnd"] = rom.named && rom.hasAram ? OrderedJson(spc.end) : OrderedJson(nullptr);
    row["loopStartSample"] = spc.LoopKnown() ? OrderedJson(spc.LoopStartSample()) : OrderedJson(nullptr);
    row["loopIsOffset"] = fromEntry ? OrderedJson(spc.loop == LoopKind::Offset) : OrderedJson(nullptr);
    row["loopSource"] = fromEntry ? OrderedJson("directory") : OrderedJson(nullptr);
    row["loopUnknownReason"] = RomLoopUnknownJson(sample);
}

// The audio RAM columns of a ROM run, and why its loop is unknown.
void PrintRomAram(const SetSample& sample) {
    const RomRun& rom = sample.rom;
    const SpcSample& spc = rom.aram;
    bool unknown = rom.named && spc.loop == LoopKind::Unknown;
    std::printf("  %-6s  %-6s  %-6s  %9s", rom.hasAram ? Hex(spc.start, 4).c_str() : "-", LoopText(spc, unknown).c_str(),
                rom.named && rom.hasAram ? Hex(spc.end, 4).c_str() : "-", LoopFromText(spc).c_str());
    OrderedJson why = RomLoopUnknownJson(sample);
    if (!why.is_null()) std::printf("  loop unknown: %s", why.get<std::string>().c_str());
}

bool AnyRomAram(const SampleSet& set) {
    if (!set.IsRom()) return false;
    for (const SetSample& sample : set.samples)
        if (sample.rom.hasAram || sample.rom.named || sample.rom.loopUnknownReason) return true;
    return false;
}

OrderedJson TuningJson(const SampleSet& set, const SetSample& sample, int32_t rate) {
    Tuning tuning;
    if (!set.LoopTuning(sample, rate, tuning)) return nullptr;
    // Rounded as a listing shows them: hundredths of a hertz and of a cent.
    auto hundredths = [](double value) { return std::round(value * 100.0) / 100.0; };
    return {{"hz", hundredths(tuning.hz)}, {"note", tuning.note}, {"cents", hundredths(tuning.cents)}};
}

// The passes of a loop the chip repeats; "64!" when none repeated.
std::string PassesText(const SetSample& sample) {
    const SampleMeasures& measures = sample.measures;
    if (!measures.chipLoop) return "-";
    return std::to_string(measures.loopPlan.passes) + (measures.loopPlan.stable ? "" : "!");
}

std::string NoteText(const SampleSet& set, const SetSample& sample, int32_t rate) {
    static const char* kNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    Tuning tuning;
    if (!set.LoopTuning(sample, rate, tuning)) return "-";
    char text[24];
    int octave = (tuning.note >= 0 ? tuning.note / 12 : (tuning.note - 11) / 12) - 1;
    std::snprintf(text, sizeof text, "%s%d%+.0f", kNames[((tuning.note % 12) + 12) % 12], octave, tuning.cents);
    return text;
}

}  // namespace

void AddSetFields(const SampleSet& set, OrderedJson& listing) {
    listing["decoder"] = DecoderName(set.decoder);
    listing["mapping"] = MappingJson(set);
    listing["copierHeader"] = set.IsRom() ? set.layout.copierHeader : 0;
    if (set.kind == InputKind::Spc) {
        bool found = set.directory.source != DirectorySource::Scan;
        listing["directory"] = found ? OrderedJson(set.directory.address) : OrderedJson(nullptr);
        listing["directorySource"] = SourceName(set.directory.source);
    }
}

OrderedJson SampleJson(const SampleSet& set, const SetSample& sample, int32_t rate) {
    bool hasPcm = set.HasPcm(sample);
    const SampleMeasures& measures = sample.measures;
    OrderedJson row = {{"number", sample.number},
                       {"start", sample.dataStart + set.fileBias},
                       {"end", sample.DataEnd() + set.fileBias},
                       {"blocks", sample.blocks},
                       {"stored", hasPcm},
                       {"bytes", hasPcm ? OrderedJson(set.PcmBytes(sample)) : OrderedJson(nullptr)},
                       {"seconds", hasPcm ? OrderedJson(Seconds(set, sample, rate)) : OrderedJson(nullptr)},
                       {"loop", sample.loop},
                       {"silent", measures.silent < 0 ? OrderedJson(nullptr) : OrderedJson(measures.silent == 1)},
                       {"snesStart", SnesAddressJson(set, sample.dataStart)},
                       {"snesEnd", SnesAddressJson(set, sample.DataEnd())},
                       {"peak", measures.silent < 0 ? OrderedJson(nullptr) : OrderedJson(measures.peak)},
                       {"padding", measures.padding},
                       {"loopPasses", measures.chipLoop ? OrderedJson(measures.loopPlan.passes) : OrderedJson(nullptr)},
                       {"loopStable", measures.chipLoop ? OrderedJson(measures.loopPlan.stable) : OrderedJson(nullptr)},
                       {"tuning", TuningJson(set, sample, rate)}};
    if (set.IsRom()) {
        // The file rip saves the run as, or why it was not kept.
        row["file"] = sample.rom.stored ? OrderedJson(set.BaseName(sample) + ".wav") : OrderedJson(nullptr);
        row["notStored"] = sample.rom.notStored ? OrderedJson(sample.rom.notStored) : OrderedJson(nullptr);
        AddRomAramFields(sample, row);
    } else {
        // An entry that repeats an earlier one sounds from the earlier one's file.
        std::string base = set.BaseName(sample);
        if (sample.fromDirectory && sample.entry.sameAs >= 0) {
            char name[12];
            std::snprintf(name, sizeof name, "%02X", static_cast<unsigned>(sample.entry.sameAs));
            base = name;
        }
        row["file"] = base + ".wav";
        row["notStored"] = nullptr;
    }
    // A .brr file's loop comes from its loop offset, not from a directory.
    if (set.kind == InputKind::Brr) row["loopStartSample"] = sample.loopKnown ? OrderedJson(16 * sample.loopBlock) : OrderedJson(nullptr);
    if (sample.fromDirectory) {
        const SpcSample& spc = sample.entry;
        row["index"] = spc.index;
        row["aramStart"] = spc.start;
        row["aramLoop"] = spc.LoopKnown() ? OrderedJson(spc.loopAddress) : OrderedJson(nullptr);
        row["aramEnd"] = spc.end;
        row["loopStartSample"] = spc.LoopKnown() ? OrderedJson(spc.LoopStartSample()) : OrderedJson(nullptr);
        row["loopIsOffset"] = spc.loop == LoopKind::Offset;
        row["sameAs"] = spc.sameAs < 0 ? OrderedJson(nullptr) : OrderedJson(spc.sameAs);
    }
    return row;
}

std::string SetHeadline(const SampleSet& set) {
    std::string decoder = DecoderName(set.decoder);
    if (set.kind == InputKind::Brr) {
        const SetSample& sample = set.samples.front();
        return std::string("BRR file, ") + (sample.dataStart > 0 ? "loop offset first" : "raw blocks") +
               (sample.loopKnown ? ", loops" : sample.loop ? ", loop point unknown" : ", no loop") + ", decoder chip";
    }
    if (set.IsRom()) {
        std::string mapping = set.layout.mapping == RomMapping::None ? "no SNES mapping detected"
                                                                     : std::string("mapping ") + MappingName(set.layout.mapping);
        std::string copier = set.layout.copierHeader ? ", 512-byte copier header" : "";
        return "ROM, " + mapping + copier + ", decoder " + decoder;
    }
    if (set.directory.source == DirectorySource::Scan)
        return "SPC, no sample directory found: audio RAM scanned like a ROM, decoder chip";
    char address[8];
    std::snprintf(address, sizeof address, "$%04X", static_cast<unsigned>(set.directory.address));
    return std::string("SPC, sample directory at ") + address + " (from the " +
           (set.directory.source == DirectorySource::Register ? "DIR register" : "driver's code") + "), " +
           std::to_string(set.samples.size()) + " entries, decoder chip";
}

void PrintSetTable(const SampleSet& set, int32_t rate, const SongPlay* song) {
    std::printf("# %s\n", SetHeadline(set).c_str());
    bool directory = set.kind == InputKind::Spc && set.directory.source != DirectorySource::Scan;
    bool aram = AnyRomAram(set);
    std::printf("%5s  %-8s  %-8s  %6s  %9s  %8s  %4s  %6s  %5s  %4s  %6s  %-7s", "#", "start", "end", "blocks",
                "PCM bytes", "seconds", "loop", "silent", "peak", "pad%", "passes", "note");
    if (directory)
        std::printf("  %3s  %-6s  %-6s  %-6s  %9s  %6s%s\n", "idx", "aram", "loop", "end", "loop from", "same",
                    song ? SongColumnHeadings().c_str() : "");
    else if (aram) std::printf("  %-9s  %-9s  %-6s  %-6s  %-6s  %9s\n", "SNES start", "SNES end", "aram", "loop", "end", "loop from");
    else std::printf("  %-9s  %-9s\n", "SNES start", "SNES end");
    for (const SetSample& sample : set.samples) {
        bool hasPcm = set.HasPcm(sample);
        std::string bytes = hasPcm ? std::to_string(set.PcmBytes(sample)) : "-";
        std::string peak = sample.measures.silent < 0 ? "-" : std::to_string(sample.measures.peak);
        std::printf("%5u  %-8s  %-8s  %6u  %9s  %8.3f  %4s  %6s  %5s  %4.0f  %6s  %-7s",
                    static_cast<unsigned>(sample.number), Hex(sample.dataStart + set.fileBias, 6).c_str(),
                    Hex(sample.DataEnd() + set.fileBias, 6).c_str(), static_cast<unsigned>(sample.blocks),
                    bytes.c_str(), Seconds(set, sample, rate), sample.loop ? "yes" : "no", SilentText(sample).c_str(),
                    peak.c_str(), sample.measures.padding * 100.0, PassesText(sample).c_str(),
                    NoteText(set, sample, rate).c_str());
        if (directory) {
            const SpcSample& spc = sample.entry;
            std::string loop = LoopText(spc, sample.loop);
            std::string from = LoopFromText(spc);
            std::string same = spc.sameAs < 0 ? "-" : Hex(static_cast<uint32_t>(spc.sameAs), 2);
            std::printf("  %3s  %-6s  %-6s  %-6s  %9s  %6s%s\n", set.BaseName(sample).c_str(), Hex(spc.start, 4).c_str(),
                        loop.c_str(), Hex(spc.end, 4).c_str(), from.c_str(), same.c_str(),
                        song ? SongColumns(sample, *song).c_str() : "");
        } else {
            OrderedJson start = SnesAddressJson(set, sample.dataStart);
            OrderedJson end = SnesAddressJson(set, sample.DataEnd());
            std::printf("  %-9s  %-9s", start.is_null() ? "-" : start.get<std::string>().c_str(),
                        end.is_null() ? "-" : end.get<std::string>().c_str());
            if (aram) PrintRomAram(sample);
            std::printf("\n");
        }
    }
    bool unstable = false;
    for (const SetSample& sample : set.samples)
        unstable = unstable || (sample.measures.chipLoop && !sample.measures.loopPlan.stable);
    if (unstable)
        std::printf("# passes ending in !: the loop did not repeat within %u passes, so it is not stable; the last "
                    "pass is looped\n",
                    static_cast<unsigned>(kMaxLoopPasses));
}
