// The audition page of voxtrawl-cli report: one self-contained HTML file
// with the samples' PCM embedded once, a player and WAVE downloads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ReportSample {
    uint32_t start;  // offset of the first block header
    uint32_t end;    // offset of the end block header
    bool loop;       // loop flag of the first block
    uint32_t bytes;  // PCM bytes
};

struct Report {
    std::string romPath;  // as given on the command line
    uint64_t romSize = 0;
    int32_t rate = 0;
    int32_t minRunBytes = 0;
    uint32_t runsFound = 0;  // qualifying runs, stored or not
    std::vector<ReportSample> samples;
    std::vector<uint8_t> pcm;  // every sample's PCM back to back, 16-bit little-endian
};

std::string BuildReportPage(const Report& report);
