// What list, rip and report know about each sample of one input, ROM or
// SPC snapshot: where its blocks are, how it loops, its SNES or audio RAM
// addresses, and its PCM by the chosen decoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/session.h"
#include "core/brr_block.h"
#include "core/snes_mapping.h"
#include "core/spc_file.h"

enum class DecoderKind { Spec, Chip };

// The decoder's name on the command line, in JSON and on the report page.
inline const char* DecoderName(DecoderKind decoder) { return decoder == DecoderKind::Chip ? "chip" : "spec"; }

// The options about decoding and describing samples, shared by the
// subcommands; the rip-only ones are ignored elsewhere.
struct SampleOptions {
    DecoderKind decoder = DecoderKind::Spec;
    bool decoderGiven = false;
    bool rateGiven = false;
    // Forced mapping; unset means detect.
    bool mappingGiven = false;
    RomMapping mapping = RomMapping::None;
    bool brrFormat = false;
    bool brrLoopHeader = false;
    bool skipSilent = false;
};

// --decoder and --mapping.
void AddSampleOptions(CLI::App& command, SampleOptions& options);
// --format, --brr-loop-header, --skip-silent.
void AddRipFormatOptions(CLI::App& command, SampleOptions& options);
// Records which options were given; call from the subcommand's callback.
void NoteGivenOptions(const CLI::App& command, SampleOptions& options);

// The rate an input is written at: an SPC plays at the chip's 32000 Hz
// unless --rate says otherwise.
int32_t RateFor(bool isSpc, const SampleOptions& options, int32_t rate);

struct SetSample {
    uint32_t number;      // 1-based row number
    uint32_t dataStart;   // first block header in SampleSet::data
    uint32_t blocks;
    bool loop;            // ROM: first block's loop flag; SPC: end block's
    bool stored;          // a ROM run the sample table kept
    uint32_t slot;        // its table slot, when stored
    const char* notStored = nullptr;  // ROM run not kept: "limit" or "memory"
    uint32_t specBytes = 0;  // PCM bytes the scan stored for it
    int silent = -1;      // 1 all-zero PCM, 0 not, -1 unknown (not decoded)
    bool fromDirectory = false;
    SpcSample spc{};      // when fromDirectory

    uint32_t DataEnd() const { return dataStart + (blocks - 1) * kBlockBytes; }
};

struct SampleSet {
    std::string path;
    bool memoryDropped = false;  // a ROM run was not kept for lack of memory (exit 1)
    bool isSpc = false;
    DecoderKind decoder = DecoderKind::Spec;
    RomLayout layout;                 // ROMs only
    SampleDirectory directory;        // SPCs only
    std::vector<uint8_t> aram;        // SPCs only: the 64 KiB the samples live in
    const uint8_t* data = nullptr;    // the bytes the blocks are read from
    uint32_t dataSize = 0;
    bool tableKept = true;            // false: the scan's PCM was let go (report)
    uint32_t fileBias = 0;            // file offset of data[0]
    std::vector<SetSample> samples;

    // The sample's blocks, first through end block. An end block cut off by
    // the end of a ROM image reads as zeros past it.
    std::vector<uint8_t> Blocks(const SetSample& sample) const;
    // PCM bytes of a sample by the set's decoder.
    uint64_t PcmBytes(const SetSample& sample) const;
    // Decodes a sample; false when its PCM is not available (a ROM run the
    // table did not keep, under the specified decoder).
    bool Decode(const SetSample& sample, std::vector<int16_t>& pcm) const;
    // "12" for ROM row 12; "1A" for SPC directory entry 0x1A.
    std::string BaseName(const SetSample& sample) const;
    // Whether rip writes a file of its own for this sample.
    bool Saved(const SetSample& sample) const;
};

// Reads an input's first bytes: whether it is an SPC snapshot. A file that
// cannot be read is left to the loader, which reports it.
bool LooksLikeSpc(const std::string& path);

// Reads a snapshot and its directory; on failure returns false with the
// reason. When no directory is found the audio RAM is scanned like a ROM
// (through the session, with its minimum run).
bool LoadSpcSet(CliPlatform& platform, const std::string& path, SampleSet& set, std::string& reason);

// Describes the runs of a ROM scan while the ROM is loaded; decodes each
// stored run once to know whether it is silent.
void BuildRomSet(const std::string& path, const std::vector<ScannedRun>& runs, const SampleOptions& options,
                 SampleSet& set);

// The silent flags of an SPC set.
void MarkSilent(SampleSet& set);

// Opens one input for list, rip or report: an SPC snapshot is read with
// its directory, anything else is loaded and scanned as a ROM (and stays
// loaded until EndSession). Returns kExitOk, or the exit code after saying
// why on stderr.
// With keepPcm false a ROM's decoded samples are let go as the scan stores
// them (after noting their size and silence), so that only the image stays
// in memory; Decode then works only with the chip decoder.
int OpenInput(CliPlatform& platform, const std::string& path, const SampleOptions& options, SampleSet& set,
              bool keepPcm = true);
