// Reading an input's bytes whole, and how the program words each reason
// why it could not: the window shows the words in a box, the command line
// prints them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Why a load did not happen.
enum class LoadFailure {
    kNone,
    kCancelled,    // no path chosen
    kStat,         // the file's size could not be found out
    kEmpty,        // 0 bytes
    kDirectory,
    kNotRegular,   // a device, a pipe ...
    kTooBig,       // 2 GiB or more
    kOpen,         // could not be opened
    kNoMemory,
    kRead,         // a read error
    kShortRead,    // fewer bytes than the size
};

// A failed load: the reason, the system's error, and the box that says so.
struct LoadProblem {
    LoadFailure failure = LoadFailure::kNone;
    int error = 0;        // errno of the failed call, when there was one
    std::string caption;  // empty when no box is shown
    std::string text;
    bool Ok() const { return failure == LoadFailure::kNone; }
};

// The loader counts bytes in a signed 32-bit number.
constexpr uintmax_t kMaxImageBytes = 0x7FFFFFFF;

// Finds the size of a loadable file: a regular file of 1 byte to
// kMaxImageBytes; the problem otherwise.
LoadProblem CheckImageFile(const std::string& path, uint32_t& size);
// The same checks for bytes already read (from a pipe, say).
LoadProblem CheckImageSize(const std::string& path, size_t size);
// The file could not be opened (the window offers Retry).
LoadProblem OpenProblem(const std::string& path, int error);
// No memory for an image of size bytes.
LoadProblem NoMemoryProblem(uint32_t size);
// Reading stopped with an error, or after bytesRead of size bytes.
LoadProblem ReadProblem(const std::string& path, int error, size_t bytesRead, uint32_t size);

// Checks, opens and reads a regular file whole into bytes, with no Retry.
LoadProblem ReadImageFile(const std::string& path, std::vector<uint8_t>& bytes);

// The system's reason in a few words, for a line after the box.
std::string LoadFailureReason(const LoadProblem& problem);
