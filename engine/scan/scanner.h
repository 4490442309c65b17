// Searches an image for runs of 9-byte BRR blocks.
#pragma once

#include <cstdint>
#include <functional>

// The smallest span of a run, first to end block header, that counts as
// a sample unless the user says otherwise.
constexpr int32_t kInitialMinRunBytes = 568;
// The most runs of one image kept as samples.
constexpr unsigned kMaxSamples = 1280;

// A run: offsets of its first and its end block header.
struct FoundRun {
    uint32_t start;
    uint32_t end;
};
using RunFound = std::function<void(const FoundRun& run)>;
// Called once each time the scan passes another whole percent of the image.
using ScanStep = std::function<void(uint32_t scanPos, uint32_t percent)>;

// Searches size bytes at data for runs whose span is at least minRun (0:
// every attempt counts) and hands each to onRun, in image order; the search
// goes on after each run's end block. Returns where the scan ended.
uint32_t FindRuns(const uint8_t* data, uint32_t size, uint32_t minRun, const RunFound& onRun, const ScanStep& onStep);
