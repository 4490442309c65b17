// SPC snapshots of the sound processor: recognising one, and finding the
// sample directory in its audio RAM with every instrument's start, end and
// loop point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A whole snapshot reaches at least to the end of its DSP registers.
constexpr size_t kSpcMinFileBytes = 0x10180;
constexpr uint32_t kSpcAramOffset = 0x100;
constexpr uint32_t kSpcDspOffset = 0x10100;
constexpr uint32_t kAramBytes = 0x10000;
constexpr unsigned kMaxDirectoryEntries = 256;

// Whether data starts with the snapshot signature, whatever its length.
bool HasSpcSignature(const uint8_t* data, size_t size);

// How the directory was found: the DSP's DIR register, the driver code
// that sets it, or not at all (the audio RAM is scanned like a ROM).
enum class DirectorySource { Register, Code, Scan };

// What the end block says about looping, and how the loop point was read.
enum class LoopKind {
    None,     // the end block has no loop flag: the voice stops
    Address,  // the loop word is an address on a block of the sample
    Offset,   // the loop word is an offset from the start (drivers before fix-up)
    Unknown,  // the end block loops, but neither reading lands on a block
};

struct SpcSample {
    uint32_t index;           // directory entry (or run number when scanned)
    uint32_t start;           // audio RAM address of the first block header
    uint32_t end;             // audio RAM address of the end block header
    uint16_t loopWord;        // as stored in the entry
    LoopKind loop;
    uint32_t loopAddress;     // for Address and Offset
    int32_t sameAs;           // earlier entry with the same words, or -1

    uint32_t Blocks() const;
    bool LoopKnown() const { return loop == LoopKind::Address || loop == LoopKind::Offset; }
    // First output sample of the loop; only when LoopKnown.
    uint32_t LoopStartSample() const;
};

struct SampleDirectory {
    DirectorySource source = DirectorySource::Scan;
    uint32_t address = 0;             // valid unless source is Scan
    std::vector<SpcSample> samples;   // empty when source is Scan
};

// Finds the directory of a snapshot: aram holds 64 KiB, dsp 128 bytes.
SampleDirectory FindSampleDirectory(const uint8_t* aram, const uint8_t* dsp);

// Reads the entries of a directory at address, from index 0 up to the
// first that is not a sample. Slots whose start word is 0x0000 or 0xFFFF
// are unused and skipped; after one, an entry is a sample only when its
// loop word names a block of its own chain.
std::vector<SpcSample> ReadDirectory(const uint8_t* aram, uint32_t address);

// Whether a store that sets the DSP's DIR register starts at code[at]
// (one of the byte sequences drivers use); page gets the value stored.
bool DirStoreAt(const uint8_t* code, uint32_t size, uint32_t at, uint32_t& page);

// The end block of the chain of blocks starting at start, whatever their
// headers, when the chain ends inside audio RAM.
bool FindChainEnd(const uint8_t* aram, uint32_t start, uint32_t& end);

// The loop reading of a sample whose chain is start..end.
void ResolveLoop(const uint8_t* aram, SpcSample& sample);
