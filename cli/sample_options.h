// The options about decoding and saving samples, and opening one input
// as a sample set for list, rip and report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/session.h"
#include "engine/inputs/sample_set.h"
#include "engine/scan/snes_mapping.h"
#include "engine/formats/sample_images.h"

// The options about decoding and describing samples, shared by the
// subcommands; the rip-only ones are ignored elsewhere.
struct SampleOptions {
    DecoderKind decoder = DecoderKind::Spec;
    bool decoderGiven = false;
    bool rateGiven = false;
    // Forced mapping; unset means detect.
    bool mappingGiven = false;
    RomMapping mapping = RomMapping::None;
    SampleFormat format = SampleFormat::Wav;
    bool brrLoopHeader = false;
    bool skipSilent = false;
};

// --decoder and --mapping.
void AddSampleOptions(CLI::App& command, SampleOptions& options);
// --format, --brr-loop-header, --skip-silent.
void AddRipFormatOptions(CLI::App& command, SampleOptions& options);
// Records which options were given; call from the subcommand's callback.
void NoteGivenOptions(const CLI::App& command, SampleOptions& options);

// The rate a set is written at: an SPC or a BRR file plays at the chip's
// 32000 Hz unless --rate says otherwise.
int32_t RateFor(const SampleSet& set, const SampleOptions& options, int32_t rate);

// Opens one input for list, rip or report: an SPC snapshot is read with
// its directory, a *.brr file as one sample, anything else is loaded and
// scanned as a ROM (and stays
// loaded until EndSession). Returns kExitOk, or the exit code after saying
// why on stderr.
// A ROM's decoded samples are let go as the scan stores them (after noting
// their size and silence): only the image stays in memory.
int OpenInput(CliPlatform& platform, const std::string& path, const SampleOptions& options, SampleSet& set);

// The file format the rip options ask for.
FileFormat FileFormatOf(const SampleOptions& options);
