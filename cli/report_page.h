// The audition page of voxtrawl-cli report: one self-contained HTML file
// with the samples' PCM embedded once, a player and WAVE downloads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/scanned_run.h"

struct Report {
    std::string romPath;  // as given on the command line
    uint64_t romSize = 0;
    int32_t rate = 0;
    int32_t minRunBytes = 0;
    std::vector<ScannedRun> runs;  // every qualifying run, stored or not
    std::vector<uint8_t> pcm;      // every stored sample's PCM back to back, 16-bit little-endian
};

std::string BuildReportPage(const Report& report);
