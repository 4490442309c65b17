// .brr instrument files, as SNES music tools exchange them: the blocks of
// one sample, either raw or after a 2-byte loop offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class BrrFileLayout {
    Raw,         // 9n bytes: blocks only
    LoopHeader,  // 9n + 2 bytes: loop offset in bytes (little-endian), then blocks
};

enum class BrrFileError {
    None,
    BadSize,   // neither 9n nor 9n + 2 bytes
    NoBlocks,  // 0 or 2 bytes
    TooLarge,  // more blocks than a sample's length can count
};

enum class BrrFileLoop {
    None,     // the end block has no loop flag: the voice stops
    Known,    // loopBlock holds the block the chip jumps back to
    Unknown,  // see BrrFile::loopUnknown
};

enum class BrrLoopUnknown {
    None,
    RawLayout,      // the end block loops but a raw file does not say where
    NoEndBlock,     // no block ends the sample
    OffsetNotOnBlock,  // the offset is not a multiple of 9
    OffsetPastEnd,     // the offset lies after the end block
};

// The most blocks one file may hold: 16 outputs each must count in 32 bits.
constexpr uint64_t kMaxBrrFileBlocks = 0x0FFFFFFF;

struct BrrFile {
    BrrFileError error = BrrFileError::None;
    uint64_t fileBytes = 0;
    BrrFileLayout layout = BrrFileLayout::Raw;
    uint32_t dataOffset = 0;     // where the first block starts: 0 or 2
    uint32_t blocks = 0;         // of the sample, up to its end block
    uint32_t ignoredBlocks = 0;  // in the file after the end block
    bool hasEndBlock = false;
    BrrFileLoop loop = BrrFileLoop::None;
    BrrLoopUnknown loopUnknown = BrrLoopUnknown::None;
    uint32_t loopOffset = 0;     // as stored in the header (LoopHeader)
    uint32_t loopBlock = 0;      // when loop is Known

    bool Ok() const { return error == BrrFileError::None; }
    uint32_t LoopStartSample() const { return loopBlock * 16; }
};

// Reads the layout, the sample's extent and its loop from a whole file.
BrrFile ParseBrrFile(const uint8_t* data, size_t size);

// Why a file was refused, naming its size ("" when it was not).
std::string DescribeBrrFileError(const BrrFile& file);
// Why the loop is unknown ("" when it is not).
std::string DescribeBrrLoopUnknown(const BrrFile& file);
