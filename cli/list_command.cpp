// list: one row per qualifying run of the scan, as a table or as JSON.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/native_path.h"
#include "cli/standard_output.h"
#include "cli/sample_rows.h"
#include "cli/song_rows.h"

namespace {

struct ListOptions {
    std::string rom;
    bool json = false;
    RipSettings settings;
    SampleOptions samples;
};

void PrintJson(const ListOptions& options, const SampleSet& set, int32_t rate, const SongPlay* song) {
    OrderedJson samples = OrderedJson::array();
    for (const SetSample& sample : set.samples) {
        samples.push_back(SampleJson(set, sample, rate));
        if (song) AddSongFields(set, sample, *song, samples.back());
    }
    if (song) AddPlaybackRows(set, *song, samples);
    OrderedJson listing = {{"rom", NativeToUtf8(options.rom)}, {"rate", rate}, {"minRunBytes", options.settings.minRun}};
    AddSetFields(set, listing);
    if (song) listing["play"] = SongSummaryJson(*song);
    listing["samples"] = samples;
    // File names need not be UTF-8; each byte that is not becomes U+FFFD.
    WriteOut(listing.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + '\n');
}

int RunList(const ListOptions& options) {
    // stdout carries the listing alone; boxes still go to stderr.
    CliLog log(nullptr);
    SampleSet set;
    int status = OpenSampleInput(log, options.rom, options.samples, options.settings, set);
    std::unique_ptr<SongPlay> song;
    if (status == kExitOk) status = PlayInputSong(set, options.samples, song);
    int32_t rate = RateFor(set, options.samples, options.settings.rate);
    if (status == kExitOk && options.json) {
        PrintJson(options, set, rate, song.get());
    } else if (status == kExitOk) {
        PrintSetTable(set, rate, song.get());
        if (song) PrintPlaybackLines(set, *song);
        if (song) std::printf("# %s\n", SongSummaryLine(*song).c_str());
    }
    return status == kExitOk && set.memoryDropped ? kExitFailed : status;
}

}  // namespace

void AddListCommand(CLI::App& cli, CommandAction& action) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* list = cli.add_subcommand(
        "list", "List the samples a rip finds: offsets of the first and end block headers, size, length, loop, silence, SNES or audio RAM addresses.");
    list->add_option("ROM", options->rom, "ROM image file")->required();
    list->add_flag("--json", options->json, "Print the listing as JSON");
    AddRipSettingOptions(*list, options->settings);
    AddSampleOptions(*list, options->samples);
    list->callback([options, list, &action]() {
        NoteGivenOptions(*list, options->samples);
        action = [options]() { return RunList(*options); };
    });
}
