// The audition page of voxtrawl-cli report: one self-contained HTML file
// with the samples' BRR blocks embedded once and decoded in the page, a
// player and WAVE downloads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

struct ReportSample {
    uint32_t start;      // file offset of the first block header
    uint32_t end;        // file offset of the end block header
    bool loop;           // ROM: loop flag of the first block; SPC: of the end block
    uint32_t specBytes;  // PCM bytes by the specified decoder
    uint64_t brrOffset;  // where its blocks lie in Report::brr
    std::string name;    // its file name without extension, as rip writes it
    bool saved = true;   // false for a directory entry that repeats an earlier one
    nlohmann::ordered_json facts = nlohmann::ordered_json::object();  // silence, addresses, directory entry
};

struct Report {
    std::string romPath;  // as given on the command line, as UTF-8 text
    uint64_t romSize = 0;
    int32_t rate = 0;
    int32_t minRunBytes = 0;
    uint32_t runsFound = 0;  // qualifying runs, stored or not
    uint32_t notStoredLimit = 0;   // runs past the sample table's size
    uint32_t notStoredMemory = 0;  // runs that memory could not be found for
    uint64_t allInOneBytes = 0;    // PCM of all saved samples by the initial decoder
    bool isSpc = false;
    bool isBrr = false;            // a .brr file: one sample, the chip decoder only
    std::string decoder = "spec";  // the decoder the page starts with
    nlohmann::ordered_json setFields = nlohmann::ordered_json::object();  // mapping, directory, ...
    std::vector<ReportSample> samples;
    std::vector<uint8_t> brr;  // every saved sample's blocks back to back
};

std::string BuildReportPage(const Report& report);
