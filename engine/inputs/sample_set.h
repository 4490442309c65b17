// The samples of one input, ROM image, SPC snapshot or .brr file: where
// each one's blocks are, how it loops, whether it is silent, and its PCM by
// the chosen decoder, decoded one sample at a time when asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/brr/brr_block.h"
#include "engine/brr/loop_render.h"
#include "engine/scan/snes_mapping.h"
#include "engine/inputs/spc_file.h"
#include "engine/analysis/tuning.h"

enum class DecoderKind { Spec, Chip };

// What an input is: each kind has its own reading and naming of samples.
enum class InputKind { Rom, Spc, Brr };

// The decoder's name on the command line, in JSON and on the report page.
inline const char* DecoderName(DecoderKind decoder) { return decoder == DecoderKind::Chip ? "chip" : "spec"; }

// What the set learns by decoding a sample once: one value, so that a row
// that sounds like an earlier one takes the earlier one's whole.
struct SampleMeasures {
    int silent = -1;           // 1 all-zero PCM, 0 not, -1 unknown (not decoded)
    uint32_t peak = 0;         // largest absolute PCM value
    double padding = 0;        // share of blocks whose data bytes are all zero
    uint32_t tonePeriods = 0;  // instrument periods in a stable loop; 0: no tuning
    // The chip decoder plays a known loop as the chip repeats it.
    bool chipLoop = false;
    LoopPlan loopPlan;
};

// What only a ROM run has: whether the scan kept it, and where a transfer
// stream uploads it.
struct RomRun {
    bool stored = false;                // kept: the set has its PCM
    uint32_t slot = 0;                  // its table slot, when stored
    const char* notStored = nullptr;    // not kept: "limit" or "memory"
    uint32_t specBytes = 0;             // PCM bytes of the program's own decoder
    bool hasAram = false;               // a transfer stream uploads it to aram.start
    bool named = false;                 // a directory entry in that stream names it
    const char* loopUnknownReason = nullptr;  // readings of the image disagree
    // The stream's addresses (end and loop when named) in a directory
    // entry's terms; loop None otherwise.
    SpcSample aram{};
};

struct SetSample {
    uint32_t number;      // 1-based row number
    uint32_t dataStart;   // first block header in SampleSet::data
    uint32_t blocks;
    bool loop;            // ROM: first block's loop flag; SPC, BRR file: end block's
    // Where the chip jumps back after the end block, whatever the input
    // learnt it from; loopBlock < blocks.
    bool loopKnown = false;
    uint32_t loopBlock = 0;
    SampleMeasures measures;  // once the set is built, when it has PCM
    RomRun rom;               // ROM rows only
    bool fromDirectory = false;
    SpcSample entry{};        // SPC rows read through the directory only

    uint32_t DataEnd() const { return dataStart + (blocks - 1) * kBlockBytes; }
    // Bytes from the first block to the loop point (0 when unknown).
    uint32_t LoopOffsetBytes() const { return loopKnown ? loopBlock * kBlockBytes : 0; }
};

struct SampleSet {
    std::string path;
    InputKind kind = InputKind::Rom;
    bool memoryDropped = false;       // a ROM run was not kept for lack of memory
    DecoderKind decoder = DecoderKind::Spec;
    RomLayout layout;                 // ROMs only
    SampleDirectory directory;        // SPCs only
    std::vector<uint8_t> bytes;       // the whole input, which the set owns
    const uint8_t* data = nullptr;    // the bytes the blocks are read from, inside bytes
    uint32_t dataSize = 0;
    uint32_t fileBias = 0;            // file offset of data[0]
    std::vector<SetSample> samples;

    SampleSet() = default;
    // data points into bytes: a copy would point into the original.
    SampleSet(const SampleSet&) = delete;
    SampleSet& operator=(const SampleSet&) = delete;
    SampleSet(SampleSet&&) = default;
    SampleSet& operator=(SampleSet&&) = default;

    // ROMs are the only inputs with a choice of decoder and a mapping.
    bool IsRom() const { return kind == InputKind::Rom; }

    // Whether the set can decode the sample (a ROM run the scan did not
    // keep cannot).
    bool HasPcm(const SetSample& sample) const { return !IsRom() || sample.rom.stored; }
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

// Fills in what each sample's PCM measures (silence, peak, padding, the
// chip's loop and its tuning), decoding each distinct sample once.
void MeasureSamples(SampleSet& set);
