// The one way in: opening an input, whatever it is, as a sample set. A
// .brr file is one instrument, a file that starts as an SPC snapshot is read
// through its sample directory, anything else is scanned as a ROM image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/inputs/image_file.h"
#include "engine/inputs/sample_set.h"
#include "engine/scan/scanner.h"

struct InputOptions {
    DecoderKind decoder = DecoderKind::Spec;
    bool decoderGiven = false;  // --decoder spec is refused for inputs that are not ROMs
    bool mappingGiven = false;  // a forced mapping, refused likewise; unset means detect
    RomMapping mapping = RomMapping::None;
    uint32_t minRun = kInitialMinRunBytes;
    ScanStep onScanStep;        // each whole percent of a ROM scan; may be empty
};

enum class OpenStatus {
    kOk,
    kFailed,   // the input could not be read
    kRefused,  // an option that does not apply to this kind of input
};

struct OpenedInput {
    OpenStatus status = OpenStatus::kOk;
    SampleSet set;                 // set.kind says what the input is
    std::vector<std::string> log;  // the log texts of the reading, as the window's log has them
    LoadProblem problem;           // a ROM that could not be loaded: its box
    std::string refusal;           // when not kOk: one line saying why
    unsigned notStoredLimit = 0;   // ROM runs past the most a set keeps
    unsigned notStoredMemory = 0;  // ROM runs too large to decode
    bool Ok() const { return status == OpenStatus::kOk; }
};

// Reads a file, or a pipe, to its end; false with the system's reason.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason);
// Whether a path names a .brr instrument file (the extension in any case).
bool IsBrrFileName(const std::string& path);
// What OpenInput would read the file as, from its name and, for a regular
// file, its first bytes (a pipe or a missing file counts as a ROM).
InputKind InputKindOf(const std::string& path);
// "ROM", "SPC snapshot", "BRR file".
const char* InputKindName(InputKind kind);

// Opens the input at path: a pipe is read to its end, a regular file is
// peeked at before it is read whole.
OpenedInput OpenInput(const std::string& path, const InputOptions& options);
// Opens an input already read; path names it.
OpenedInput OpenInputBytes(const std::string& path, std::vector<uint8_t> bytes, const InputOptions& options);
