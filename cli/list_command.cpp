// list: one row per qualifying run of the scan, as a table or as JSON.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/standard_output.h"
#include "core/brr_block.h"

namespace {

struct ListOptions {
    std::string rom;
    bool json = false;
    RipSettings settings;
};

struct Row {
    uint32_t number;
    uint32_t start;  // first block header
    uint32_t end;    // end block header
    uint32_t blocks;
    bool stored;     // false when the table was full or memory ran out
    uint32_t bytes;  // PCM bytes of the stored sample
    bool loop;
};

Row MakeRow(uint32_t number, const ScannedRun& run) {
    uint32_t bytes = run.stored ? app.sampleBytes[run.slot] : 0;
    return {number, run.start, run.end, (run.end - run.start) / kBlockBytes + 1, run.stored, bytes, run.loop};
}

double Seconds(const Row& row, int32_t rate) { return row.bytes / 2.0 / rate; }

std::string Hex(uint32_t offset) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(offset));
    return text;
}

void PrintTable(const std::vector<Row>& rows, int32_t rate) {
    PrintOut("%5s  %-8s  %-8s  %6s  %9s  %8s  %4s\n", "#", "start", "end", "blocks", "PCM bytes", "seconds",
                "loop");
    for (const Row& row : rows) {
        std::string bytes = row.stored ? std::to_string(row.bytes) : "-";
        PrintOut("%5u  %-8s  %-8s  %6u  %9s  %8.3f  %4s\n", static_cast<unsigned>(row.number),
                    Hex(row.start).c_str(), Hex(row.end).c_str(), static_cast<unsigned>(row.blocks), bytes.c_str(),
                    Seconds(row, rate), row.loop ? "yes" : "no");
    }
}

void PrintJson(const ListOptions& options, const std::vector<Row>& rows) {
    nlohmann::ordered_json samples = nlohmann::ordered_json::array();
    for (const Row& row : rows) {
        samples.push_back({{"number", row.number},
                           {"start", row.start},
                           {"end", row.end},
                           {"blocks", row.blocks},
                           {"stored", row.stored},
                           {"bytes", row.bytes},
                           {"seconds", Seconds(row, options.settings.rate)},
                           {"loop", row.loop}});
    }
    nlohmann::ordered_json listing = {{"rom", options.rom},
                              {"rate", options.settings.rate},
                              {"minRunBytes", options.settings.minRun},
                              {"samples", samples}};
    // File names need not be UTF-8; each byte that is not becomes U+FFFD.
    WriteOut(listing.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + '\n');
}

int RunList(const ListOptions& options) {
    // stdout carries the listing alone; boxes still go to stderr.
    CliPlatform platform(false);
    BeginSession(platform, options.settings);
    std::vector<ScannedRun> runs;
    bool loaded = LoadAndScanRuns(platform, options.rom, runs);
    std::vector<Row> rows;
    for (const ScannedRun& run : runs) rows.push_back(MakeRow(static_cast<uint32_t>(rows.size()) + 1, run));
    EndSession(platform);
    if (!loaded) return kExitFailed;
    if (options.json) {
        PrintJson(options, rows);
    } else {
        PrintTable(rows, options.settings.rate);
    }
    return kExitOk;
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
