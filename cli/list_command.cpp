// list: one row per qualifying run of the scan, as a table or as JSON.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/standard_output.h"

namespace {

struct ListOptions {
    std::string rom;
    bool json = false;
    RipSettings settings;
};

// Seconds at the rate; null in JSON for a run that was not stored.
double Seconds(const ScannedRun& run, int32_t rate) { return run.bytes / 2.0 / rate; }

std::string Hex(uint32_t offset) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(offset));
    return text;
}

void PrintTable(const std::vector<ScannedRun>& runs, int32_t rate) {
    PrintOut("%5s  %-8s  %-8s  %6s  %9s  %8s  %4s  %s\n", "#", "start", "end", "blocks", "PCM bytes", "seconds", "loop",
             "file");
    for (size_t i = 0; i < runs.size(); ++i) {
        const ScannedRun& run = runs[i];
        std::string bytes = "-", seconds = "-", file = "-";
        if (run.Stored()) {
            bytes = std::to_string(run.bytes);
            char text[32];
            std::snprintf(text, sizeof text, "%.3f", Seconds(run, rate));
            seconds = text;
            file = run.FileName();
        } else {
            file += std::string(" (not stored: ") + run.NotStoredReason() + ")";
        }
        PrintOut("%5u  %-8s  %-8s  %6u  %9s  %8s  %4s  %s\n", static_cast<unsigned>(i + 1), Hex(run.start).c_str(),
                 Hex(run.end).c_str(), static_cast<unsigned>(run.Blocks()), bytes.c_str(), seconds.c_str(),
                 run.loop ? "yes" : "no", file.c_str());
    }
}

void PrintJson(const ListOptions& options, const std::vector<ScannedRun>& runs) {
    using Json = nlohmann::ordered_json;
    Json samples = Json::array();
    for (size_t i = 0; i < runs.size(); ++i) {
        const ScannedRun& run = runs[i];
        bool stored = run.Stored();
        samples.push_back({{"number", i + 1},
                           {"start", run.start},
                           {"end", run.end},
                           {"blocks", run.Blocks()},
                           {"stored", stored},
                           {"file", stored ? Json(run.FileName()) : Json(nullptr)},
                           {"notStored", stored ? Json(nullptr) : Json(run.NotStoredReason())},
                           {"bytes", stored ? Json(run.bytes) : Json(nullptr)},
                           {"seconds", stored ? Json(Seconds(run, options.settings.rate)) : Json(nullptr)},
                           {"loop", run.loop}});
    }
    Json listing = {{"rom", options.rom},
                    {"rate", options.settings.rate},
                    {"minRunBytes", options.settings.minRun},
                    {"samples", samples}};
    // File names need not be UTF-8; each byte that is not becomes U+FFFD.
    WriteOut(listing.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + '\n');
}

int RunList(const ListOptions& options) {
    // stdout carries the listing alone; boxes still go to stderr.
    CliPlatform platform(nullptr);
    BeginSession(platform, options.settings);
    std::vector<ScannedRun> runs;
    bool loaded = LoadAndScan(platform, options.rom, runs);
    EndSession(platform);
    if (!loaded) return kExitFailed;
    if (options.json) {
        PrintJson(options, runs);
    } else {
        PrintTable(runs, options.settings.rate);
    }
    return ReportNotStored(runs);
}

}  // namespace

void AddListCommand(CLI::App& cli, CommandAction& action) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* list = cli.add_subcommand(
        "list", "List the samples a rip finds: offsets of the first and end block headers, size, length, loop flag.");
    list->add_option("ROM", options->rom, "ROM image file")->required();
    list->add_flag("--json", options->json, "Print the listing as JSON");
    AddRipSettingOptions(*list, options->settings);
    list->callback([options, &action]() { action = [options]() { return RunList(*options); }; });
}
