// The samples of one input, ROM image or SPC snapshot: where each one's
// blocks are, how it loops, whether it is silent, and its PCM by the chosen
// decoder, decoded one sample at a time when asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/brr/brr_block.h"
#include "engine/inputs/brr_file.h"
#include "engine/brr/loop_render.h"
#include "engine/scan/scanned_run.h"
#include "engine/scan/snes_mapping.h"
#include "engine/inputs/spc_file.h"
#include "engine/analysis/tuning.h"

enum class DecoderKind { Spec, Chip };

// The decoder's name on the command line, in JSON and on the report page.
inline const char* DecoderName(DecoderKind decoder) { return decoder == DecoderKind::Chip ? "chip" : "spec"; }

struct SetSample {
    uint32_t number;      // 1-based row number
    uint32_t dataStart;   // first block header in SampleSet::data
    uint32_t blocks;
    bool loop;            // ROM: first block's loop flag; SPC, BRR file: end block's
    bool stored;          // a ROM run the sample table kept
    uint32_t slot;        // its table slot, when stored
    const char* notStored = nullptr;  // ROM run not kept: "limit" or "memory"
    uint32_t specBytes = 0;  // PCM bytes the scan stored for it
    int silent = -1;      // 1 all-zero PCM, 0 not, -1 unknown (not decoded)
    bool fromDirectory = false;
    // SPC: the directory entry. ROM: start (with hasAram) and, when named,
    // end and loop, read from the transfer stream that uploads the run and
    // the directory entry in it that names it; loop None otherwise.
    SpcSample spc{};
    bool hasAram = false;  // ROM: a transfer stream uploads it to spc.start
    bool named = false;    // ROM: a directory entry in that stream names it
    const char* loopUnknownReason = nullptr;  // ROM: readings of the image disagree
    // Where the chip jumps back after the end block, whatever the input
    // learnt it from; loopBlock < blocks.
    bool loopKnown = false;
    uint32_t loopBlock = 0;
    // The chip decoder plays a known loop as the chip repeats it.
    bool chipLoop = false;
    LoopPlan loopPlan;
    // Measured as the set is built, when the sample has PCM (silent >= 0).
    uint32_t peak = 0;         // largest absolute PCM value
    double padding = 0;        // share of blocks whose data bytes are all zero
    uint32_t tonePeriods = 0;  // instrument periods in a stable loop; 0: no tuning

    uint32_t DataEnd() const { return dataStart + (blocks - 1) * kBlockBytes; }
    // Bytes from the first block to the loop point (0 when unknown).
    uint32_t LoopOffsetBytes() const { return loopKnown ? loopBlock * kBlockBytes : 0; }
};

struct SampleSet {
    std::string path;
    bool memoryDropped = false;  // a ROM run was not kept for lack of memory
    bool isSpc = false;
    bool isBrr = false;               // a .brr instrument file: one sample
    DecoderKind decoder = DecoderKind::Spec;
    RomLayout layout;                 // ROMs only
    SampleDirectory directory;        // SPCs only
    std::vector<uint8_t> aram;        // SPCs only: the 64 KiB the samples live in
    std::vector<uint8_t> brrFile;     // BRR files only: the whole file
    const uint8_t* data = nullptr;    // the bytes the blocks are read from
    uint32_t dataSize = 0;
    uint32_t fileBias = 0;            // file offset of data[0]
    std::vector<SetSample> samples;

    // ROMs are the only inputs with a choice of decoder and a mapping.
    bool IsRom() const { return !isSpc && !isBrr; }

    // The sample's blocks, first through end block. An end block cut off by
    // the end of a ROM image reads as zeros past it.
    std::vector<uint8_t> Blocks(const SetSample& sample) const;
    // PCM bytes of a sample by the set's decoder.
    uint64_t PcmBytes(const SetSample& sample) const;
    // Decodes a sample by the set's decoder; false when it has no PCM (a
    // ROM run the table did not keep). May throw std::bad_alloc.
    bool Decode(const SetSample& sample, std::vector<int16_t>& pcm) const;
    // The pitch of a stable loop as played at rate; false without one.
    bool LoopTuning(const SetSample& sample, double rate, Tuning& tuning) const;
    // "12" for ROM row 12; "1A" for SPC directory entry 0x1A; a BRR
    // file's name without its extension.
    std::string BaseName(const SetSample& sample) const;
    // Whether a rip writes a file of its own for this sample.
    bool Saved(const SetSample& sample) const;
};

// The set of a scanned ROM image (size bytes at image, which must outlive
// the set), with the audio RAM addresses and directory loops of its runs.
// Decodes each stored run whose silence the scan did not note.
void BuildRomSet(const std::string& path, const uint8_t* image, uint32_t size, const std::vector<ScannedRun>& runs,
                 DecoderKind decoder, SampleSet& set);

// What reading a snapshot found, for the caller to tell the user.
struct SpcReading {
    bool cutShort = false;     // fewer than kSpcMinFileBytes bytes
    uint32_t scannedRuns = 0;  // runs of the audio RAM scan (no directory)
    bool tableFull = false;    // the scan found more runs than a set keeps
};

// The set of an SPC snapshot from the whole file's bytes. With no
// directory the audio RAM is searched like a ROM image with minRun, and
// each run, up to kMaxSamples, becomes a numbered sample.
SpcReading ReadSpcSet(const std::string& path, const std::vector<uint8_t>& file, uint32_t minRun, SampleSet& set);

// Whether a path names a .brr instrument file (the extension in any case).
bool IsBrrFileName(const std::string& path);

// The set of one .brr file from its bytes: one sample, decoded by the
// chip decoder. Returns what the parse found; the set stays empty when
// the file is refused (see DescribeBrrFileError).
BrrFile ReadBrrSet(const std::string& path, std::vector<uint8_t> file, SampleSet& set);
