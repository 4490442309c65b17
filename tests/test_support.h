// Shared fixtures and helpers of the unit tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "engine/files/little_endian.h"
#include "tests/recording_platform.h"

using Bytes = std::vector<uint8_t>;

// A fresh program state over the recording platform, with a private
// temporary directory that is removed afterwards.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes bytes to a file in the temporary directory; returns its path.
    std::string WriteTempFile(const std::string& name, const Bytes& bytes);
    // Loads and rips these bytes through Load & Rip, as a user would.
    void LoadAndRipBytes(const Bytes& rom, const std::string& name = "game.sfc");
    // Number of log lines equal to this text (the text starts with "\r\n").
    int LogCount(const std::string& message) const;

    RecordingPlatform platform;
    std::string tempDir;
};

Bytes ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const Bytes& bytes);

// One 9-byte block: header and 8 data bytes all equal to data.
void AppendBlock(Bytes& out, uint8_t header, uint8_t data = 0x11);
// A run of n blocks (n >= 1): n - 1 blocks with header and the end block
// with endHeader (which should have bit 0 set).
Bytes MakeRun(unsigned blocks, uint8_t header = 0x80, uint8_t endHeader = 0x81, uint8_t data = 0x11);
// Filler that can never start an attempt (bytes 0xD0 and above, no end flag).
Bytes Filler(size_t bytes);

// The WAVE file that saving slots first..first+count-1 of the sample table
// must produce, at the current frequency.
Bytes ExpectedWav(unsigned first, unsigned count);

// The allocation faults a test arms; requests are numbered from 1, and 0
// leaves that way of failing off.
struct AllocFaults {
    size_t failAt = 0;      // the request with this number fails
    size_t failFrom = 0;    // every request from this number on fails
    size_t failSize = 0;    // with failSizeAt: the failSizeAt-th request
    size_t failSizeAt = 0;  // of exactly failSize bytes fails
};
// Puts a counting gate in front of the program's allocations, with a fresh
// count, refusing what faults names.
void CountAllocations(const AllocFaults& faults = {});
// The sizes requested since CountAllocations, in order.
const std::vector<size_t>& AllocationRequests();

// Fills the sample table as a scan of a ROM at romPath would, without one:
// sample i holds bytes[i] bytes of a pattern that depends on i.
void FakeRip(const std::string& romPath, const std::vector<uint32_t>& bytes);

// Runs check in a forked child that is not root (the suite runs as root,
// whom permission bits do not stop): the child takes the user and group
// nobody first. The check returns "" when it held, else what went wrong.
// The result says whether the child could run as such a user at all.
struct UnprivilegedRun {
    bool ran = false;
    std::string failure;  // the check's text, or why the child could not run
};
UnprivilegedRun RunUnprivileged(const std::function<std::string()>& check);
// The user and group that RunUnprivileged takes.
constexpr unsigned kNobodyId = 65534;
