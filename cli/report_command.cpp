// report: rip one ROM and write a self-contained HTML page to see and hear
// its samples and download them as WAVE files.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <cstring>
#include <vector>

#include "cli/commands.h"
#include "cli/native_path.h"
#include "cli/paths.h"
#include "cli/report_page.h"
#include "cli/standard_output.h"
#include "core/file_system.h"
#include "core/little_endian.h"
#include "output/wav_file.h"

namespace fs = std::filesystem;

namespace {

struct ReportOptions {
    std::string rom;
    std::string out;
    RipSettings settings;
};

// Adds the scan's runs and a copy of every stored sample to the report.
void CollectRuns(const std::vector<ScannedRun>& runs, Report& report) {
    report.runs = runs;
    for (const ScannedRun& run : runs) {
        if (!run.Stored()) continue;
        size_t at = report.pcm.size();
        report.pcm.resize(at + run.bytes / 2 * 2);
        for (uint32_t i = 0; i < run.bytes / 2; ++i)
            PutLe16(report.pcm.data() + at + 2 * i, static_cast<uint16_t>(app.sampleData[run.slot][i]));
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

unsigned StoredCount(const std::vector<ScannedRun>& runs) {
    unsigned stored = 0;
    for (const ScannedRun& run : runs) stored += run.Stored();
    return stored;
}

int RunReport(const ReportOptions& options) {
    std::string pagePath = options.out.empty() ? DefaultPagePath(options.rom) : options.out;
    if (SameFile(pagePath, options.rom)) {
        std::fprintf(stderr, "voxtrawl-cli: %s is the ROM itself (or a link to it); choose another file with -o.\n",
                     Quoted(pagePath).c_str());
        return kExitUsage;
    }
    CliPlatform platform(nullptr);
    BeginSession(platform, options.settings);
    Report report;
    report.romPath = options.rom;
    report.rate = options.settings.rate;
    report.minRunBytes = options.settings.minRun;
    std::vector<ScannedRun> runs;
    bool loaded = LoadAndScan(platform, options.rom, runs);
    CollectRuns(runs, report);
    // A scan that finds nothing unloads the ROM: ask the file for its size.
    FileInfo info;
    if (loaded && StatFile(options.rom, info) == 0) report.romSize = info.size;
    EndSession(platform);
    if (!loaded) return kExitFailed;

    if (int error = WritePage(pagePath, BuildReportPage(report))) {
        std::fprintf(stderr, "voxtrawl-cli: cannot write %s: %s\n", Quoted(pagePath).c_str(), std::strerror(error));
        return kExitFailed;
    }
    PrintOut("Wrote %s with %u samples.\n", pagePath.c_str(), StoredCount(report.runs));
    return ReportNotStored(runs);
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
    report->callback([options, &action]() { action = [options]() { return RunReport(*options); }; });
}
