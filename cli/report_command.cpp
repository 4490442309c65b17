// report: rip one ROM and write a self-contained HTML page to see and hear
// its samples and download them as WAVE files.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <cstring>
#include <vector>

#include "cli/commands.h"
#include "cli/native_path.h"
#include "cli/paths.h"
#include "report/report_page.h"
#include "cli/sample_rows.h"
#include "cli/song_rows.h"
#include "cli/standard_output.h"
#include "engine/files/file_system.h"
#include "engine/files/whole_file.h"

namespace fs = std::filesystem;

namespace {

struct ReportOptions {
    std::string rom;
    std::string out;
    RipSettings settings;
    SampleOptions samples;
};

// Adds every sample of the set with its blocks, once each, to the report.
// The page decodes the blocks itself, so no PCM is held here.
// With a song played, each entry's facts carry its key-ons and envelope.
void CollectSamples(const SampleSet& set, int32_t rate, Report& report, const SongPlay* song) {
    report.runsFound = static_cast<uint32_t>(set.samples.size());
    report.isSpc = set.kind == InputKind::Spc;
    report.isBrr = set.kind == InputKind::Brr;
    report.decoder = DecoderName(set.decoder);
    AddSetFields(set, report.setFields);
    report.setFields.erase("decoder");
    if (song) report.setFields["play"] = SongSummaryJson(*song);
    std::map<uint32_t, uint64_t> offsetOfIndex;
    for (const SetSample& sample : set.samples) {
        const char* notStored = sample.rom.notStored;
        if (notStored && std::string(notStored) == "limit") ++report.notStoredLimit;
        if (notStored && std::string(notStored) == "memory") ++report.notStoredMemory;
        if (set.kind != InputKind::Spc && !set.HasPcm(sample)) continue;
        if (set.Saved(sample)) report.allInOneBytes += set.PcmBytes(sample);
        OrderedJson facts = SampleJson(set, sample, rate);
        if (song) AddSongFields(set, sample, *song, facts);
        for (const char* shown : {"number", "start", "end", "blocks", "stored", "bytes", "seconds", "loop"})
            facts.erase(shown);
        // The page writes the smpl pitch from the unrounded note, as rip does.
        Tuning tuning;
        if (set.LoopTuning(sample, rate, tuning)) facts["tuning"]["midi"] = tuning.midi;
        ReportSample row{sample.dataStart + set.fileBias, sample.DataEnd() + set.fileBias, sample.loop,
                         sample.rom.specBytes, report.brr.size(), set.BaseName(sample), set.Saved(sample), facts};
        if (row.saved) {
            std::vector<uint8_t> blocks = set.Blocks(sample);
            report.brr.insert(report.brr.end(), blocks.begin(), blocks.end());
            if (sample.fromDirectory) offsetOfIndex[sample.entry.index] = row.brrOffset;
        } else {
            row.brrOffset = offsetOfIndex[static_cast<uint32_t>(sample.entry.sameAs)];
        }
        report.samples.push_back(row);
    }
}

// The ROM's path with .html for its extension; a ROM that already ends
// in .html keeps it and gets another, so it is never overwritten.
std::string DefaultPagePath(const std::string& rom) {
    fs::path path = PathFromNative(rom);
    if (path.extension() == ".html") return rom + ".html";
    return NativeFromPath(path.replace_extension(".html"));
}

// Writes the page whole or not at all; returns 0 or the errno of the failure.
int WritePage(const std::string& path, const std::string& page) {
    OutputFile file;
    if (int error = OpenOutput(path, file)) return error;
    if (!WriteOutput(file, page.data(), page.size())) {
        int error = file.error;
        AbandonOutput(file);
        return error;
    }
    return FinishOutput(file);
}

int RunReport(const ReportOptions& options) {
    std::string pagePath = options.out.empty() ? DefaultPagePath(options.rom) : options.out;
    if (SameFile(pagePath, options.rom)) {
        std::fprintf(stderr, "voxtrawl-cli: %s is the ROM itself (or a link to it); choose another file with -o.\n",
                     Quoted(pagePath).c_str());
        return kExitUsage;
    }
    CliLog log(nullptr);
    // The set holds the image for its blocks and no PCM, so the report
    // holds the image and the page only.
    SampleSet set;
    int status = OpenSampleInput(log, options.rom, options.samples, options.settings, set);
    std::unique_ptr<SongPlay> song;
    if (status == kExitOk) status = PlayInputSong(set, options.samples, song);
    Report report;
    report.romPath = NativeToUtf8(options.rom);
    report.rate = RateFor(set, options.samples, options.settings.rate);
    report.minRunBytes = options.settings.minRun;
    // The file's own size, whatever it is read as.
    FileInfo info;
    if (status == kExitOk && StatFile(options.rom, info) == 0) report.romSize = info.size;
    std::string page;
    size_t sampleCount = 0;
    if (status == kExitOk) {
        CollectSamples(set, report.rate, report, song.get());
    }
    // The blocks are copied out: the image goes before the page is built.
    bool memoryDropped = set.memoryDropped;
    set = SampleSet();
    if (status == kExitOk) {
        page = BuildReportPage(report);
        sampleCount = report.samples.size();
        report = Report();
    }
    log.Finish();
    if (status != kExitOk) return status;

    if (int error = WritePage(pagePath, page)) {
        std::fprintf(stderr, "voxtrawl-cli: cannot write %s: %s\n", Quoted(pagePath).c_str(), std::strerror(error));
        return kExitFailed;
    }
    PrintOut("Wrote %s with %u samples.\n", pagePath.c_str(), static_cast<unsigned>(sampleCount));
    return memoryDropped ? kExitFailed : kExitOk;
}

}  // namespace

void AddReportCommand(CLI::App& cli, CommandAction& action) {
    auto options = std::make_shared<ReportOptions>();
    CLI::App* report = cli.add_subcommand(
        "report", "Write one HTML page to see, hear and download the samples a rip finds (no network needed).");
    report->add_option("ROM", options->rom, "ROM image file")->required();
    report->add_option("-o,--out", options->out, "The page to write (default: the ROM's path with .html)")
        ->check(NotEmpty());
    AddRipSettingOptions(*report, options->settings);
    AddSampleOptions(*report, options->samples);
    report->callback([options, report, &action]() {
        NoteGivenOptions(*report, options->samples);
        action = [options]() { return RunReport(*options); };
    });
}
