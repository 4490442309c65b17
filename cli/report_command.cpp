// report: rip one ROM and write a self-contained HTML page to see and hear
// its samples and download them as WAVE files.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "cli/commands.h"
#include "cli/report_page.h"
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
        for (uint32_t i = 0; i < run.bytes / 2; ++i) {
            uint16_t value = static_cast<uint16_t>(app.sampleData[run.slot][i]);
            report.pcm.push_back(static_cast<uint8_t>(value));
            report.pcm.push_back(static_cast<uint8_t>(value >> 8));
        }
    }
}

// The ROM's path with .html for its extension; a ROM that already ends
// in .html keeps it and gets another, so it is never overwritten.
std::string DefaultPagePath(const std::string& rom) {
    fs::path path(rom);
    if (path.extension() == ".html") return rom + ".html";
    return path.replace_extension(".html").string();
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return fs::equivalent(a, b, error);
}

bool WritePage(const std::string& path, const std::string& page) {
    std::FILE* file = OpenForWrite(path);
    if (!file) return false;
    bool ok = WriteAll(file, page.data(), page.size());
    ok = CloseWritten(file) && ok;
    if (!ok) RemoveIncompleteFile(path);
    return ok;
}

unsigned StoredCount(const std::vector<ScannedRun>& runs) {
    unsigned stored = 0;
    for (const ScannedRun& run : runs) stored += run.Stored();
    return stored;
}

int RunReport(const ReportOptions& options) {
    std::string pagePath = options.out.empty() ? DefaultPagePath(options.rom) : options.out;
    if (SameFile(pagePath, options.rom)) {
        std::fprintf(stderr, "voxtrawl-cli: %s is the ROM itself; choose another file with -o.\n", pagePath.c_str());
        return kExitUsage;
    }
    CliPlatform platform(false);
    BeginSession(platform, options.settings);
    Report report;
    report.romPath = options.rom;
    report.rate = options.settings.rate;
    report.minRunBytes = options.settings.minRun;
    std::vector<ScannedRun> runs;
    bool loaded = LoadAndScanRuns(platform, options.rom, runs);
    CollectRuns(runs, report);
    EndSession(platform);
    if (!loaded) return kExitFailed;

    std::error_code error;
    report.romSize = fs::file_size(options.rom, error);
    if (!WritePage(pagePath, BuildReportPage(report))) {
        std::fprintf(stderr, "voxtrawl-cli: can't write %s.\n", pagePath.c_str());
        return kExitFailed;
    }
    std::printf("Wrote %s with %u samples.\n", pagePath.c_str(), StoredCount(report.runs));
    return kExitOk;
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
