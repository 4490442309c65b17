// The options about decoding and saving samples, and opening one input
// as a sample set for list, rip and report.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/cli_log.h"
#include "cli/commands.h"
#include "engine/formats/file_formats.h"
#include "engine/inputs/open_input.h"
#include "engine/song/song_play.h"

// The options about decoding and describing samples, shared by the
// subcommands; the rip-only ones are ignored elsewhere.
struct SampleOptions {
    DecoderKind decoder = DecoderKind::Spec;
    bool decoderGiven = false;
    bool rateGiven = false;
    // Forced mapping; unset means detect.
    bool mappingGiven = false;
    RomMapping mapping = RomMapping::None;
    int format = 0;  // its row in FileFormats()
    bool brrLoopHeader = false;
    bool skipSilent = false;
    bool usedOnly = false;    // rip: only the entries the song keyed
    std::string play;         // --play SECONDS; empty: as long as render plays it
    bool playGiven = false;

    const FileFormat& Format() const { return FileFormats()[static_cast<size_t>(format)]; }
};

// --decoder, --mapping and --play.
void AddSampleOptions(CLI::App& command, SampleOptions& options);
// --format, --brr-loop-header, --skip-silent, --used-only.
void AddRipFormatOptions(CLI::App& command, SampleOptions& options);
// Records which options were given; call from the subcommand's callback.
void NoteGivenOptions(const CLI::App& command, SampleOptions& options);

// The rate a set is written at: an SPC or a BRR file plays at the chip's
// 32000 Hz unless --rate says otherwise.
int32_t RateFor(const SampleSet& set, const SampleOptions& options, int32_t rate);

// Opens one input for list, rip or report (OpenInput) and prints what the
// reading says: its log texts, the box of a ROM that could not be loaded,
// why it failed or was refused, and how many runs were not stored.
// Returns kExitOk, or the exit code.
int OpenSampleInput(CliLog& log, const std::string& path, const SampleOptions& options, const RipSettings& settings,
                    SampleSet& set);
// Plays an SPC set's song for --play seconds (by default as long as render
// would), leaving song empty with --play 0 and for other inputs; --play
// given for an input that is not a snapshot is a usage error. Returns
// kExitOk or the exit code.
int PlayInputSong(const SampleSet& set, const SampleOptions& options, std::unique_ptr<SongPlay>& song);
