// The samples of one input, ROM image or SPC snapshot: where each one's
// blocks are, how it loops, whether it is silent, and its PCM by the chosen
// decoder, decoded one sample at a time when asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/brr_block.h"
#include "core/scanned_run.h"
#include "core/snes_mapping.h"
#include "core/spc_file.h"

enum class DecoderKind { Spec, Chip };

// The decoder's name on the command line, in JSON and on the report page.
inline const char* DecoderName(DecoderKind decoder) { return decoder == DecoderKind::Chip ? "chip" : "spec"; }

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
    // SPC: the directory entry. ROM: start (with hasAram) and, when named,
    // end and loop, read from the transfer stream that uploads the run and
    // the directory entry in it that names it; loop None otherwise.
    SpcSample spc{};
    bool hasAram = false;  // ROM: a transfer stream uploads it to spc.start
    bool named = false;    // ROM: a directory entry in that stream names it
    const char* loopUnknownReason = nullptr;  // ROM: readings of the image disagree

    uint32_t DataEnd() const { return dataStart + (blocks - 1) * kBlockBytes; }
    // Bytes from the first block to the loop point (0 when unknown).
    uint32_t LoopOffsetBytes() const;
};

struct SampleSet {
    std::string path;
    bool memoryDropped = false;  // a ROM run was not kept for lack of memory
    bool isSpc = false;
    DecoderKind decoder = DecoderKind::Spec;
    RomLayout layout;                 // ROMs only
    SampleDirectory directory;        // SPCs only
    std::vector<uint8_t> aram;        // SPCs only: the 64 KiB the samples live in
    const uint8_t* data = nullptr;    // the bytes the blocks are read from
    uint32_t dataSize = 0;
    uint32_t fileBias = 0;            // file offset of data[0]
    std::vector<SetSample> samples;

    // The sample's blocks, first through end block. An end block cut off by
    // the end of a ROM image reads as zeros past it.
    std::vector<uint8_t> Blocks(const SetSample& sample) const;
    // Whether the sample's WAV carries its loop: the specified decoder's
    // files stay as they always were.
    bool WavLoops(const SetSample& sample) const { return decoder == DecoderKind::Chip && sample.spc.LoopKnown(); }
    // PCM bytes of a sample by the set's decoder.
    uint64_t PcmBytes(const SetSample& sample) const;
    // Decodes a sample by the set's decoder; false when it has no PCM (a
    // ROM run the table did not keep). May throw std::bad_alloc.
    bool Decode(const SetSample& sample, std::vector<int16_t>& pcm) const;
    // "12" for ROM row 12; "1A" for SPC directory entry 0x1A.
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
