#include "engine/inputs/brr_file.h"

#include "engine/brr/brr_block.h"
#include "engine/files/little_endian.h"

namespace {

constexpr uint32_t kLoopHeaderBytes = 2;

// Fills in the loop of a sample whose blocks are known.
void ReadLoop(const uint8_t* data, BrrFile& file) {
    if (!file.hasEndBlock) {
        file.loop = BrrFileLoop::Unknown;
        file.loopUnknown = BrrLoopUnknown::NoEndBlock;
        return;
    }
    uint8_t endHeader = data[file.dataOffset + (file.blocks - 1) * kBlockBytes];
    if (!(endHeader & kLoopFlag)) return;  // the voice stops
    file.loop = BrrFileLoop::Unknown;
    if (file.layout == BrrFileLayout::Raw) {
        file.loopUnknown = BrrLoopUnknown::RawLayout;
    } else if (file.loopOffset % kBlockBytes != 0) {
        file.loopUnknown = BrrLoopUnknown::OffsetNotOnBlock;
    } else if (file.loopOffset / kBlockBytes >= file.blocks) {
        file.loopUnknown = BrrLoopUnknown::OffsetPastEnd;
    } else {
        file.loop = BrrFileLoop::Known;
        file.loopBlock = file.loopOffset / kBlockBytes;
    }
}

}  // namespace

BrrFile ParseBrrFile(const uint8_t* data, size_t size) {
    BrrFile file;
    file.fileBytes = size;
    if (size % kBlockBytes == kLoopHeaderBytes) {
        file.layout = BrrFileLayout::LoopHeader;
        file.dataOffset = kLoopHeaderBytes;
        file.loopOffset = GetLe16(data);
    } else if (size % kBlockBytes != 0) {
        file.error = BrrFileError::BadSize;
        return file;
    }
    uint64_t fileBlocks = (size - file.dataOffset) / kBlockBytes;
    if (fileBlocks == 0) file.error = BrrFileError::NoBlocks;
    if (fileBlocks > kMaxBrrFileBlocks) file.error = BrrFileError::TooLarge;
    if (!file.Ok()) return file;

    // The sample ends at the first end block, or with the file.
    file.blocks = static_cast<uint32_t>(fileBlocks);
    for (uint32_t b = 0; b < fileBlocks; ++b) {
        if (data[file.dataOffset + b * kBlockBytes] & kEndFlag) {
            file.hasEndBlock = true;
            file.blocks = b + 1;
            break;
        }
    }
    file.ignoredBlocks = static_cast<uint32_t>(fileBlocks) - file.blocks;
    ReadLoop(data, file);
    return file;
}

std::string DescribeBrrFileError(const BrrFile& file) {
    std::string size = std::to_string(file.fileBytes) + " bytes";
    switch (file.error) {
    case BrrFileError::None: return "";
    case BrrFileError::BadSize:
        return "is " + size + ": a BRR file holds 9-byte blocks, after a 2-byte loop offset or without one";
    case BrrFileError::NoBlocks: return "is " + size + ": it holds no BRR block";
    case BrrFileError::TooLarge: return "is " + size + ": too many blocks for one sample";
    }
    return "";
}

std::string DescribeBrrLoopUnknown(const BrrFile& file) {
    std::string offset = "the loop offset " + std::to_string(file.loopOffset);
    switch (file.loopUnknown) {
    case BrrLoopUnknown::None: return "";
    case BrrLoopUnknown::RawLayout: return "the end block loops, but a file without a loop offset does not say where";
    case BrrLoopUnknown::NoEndBlock: return "no block ends the sample";
    case BrrLoopUnknown::OffsetNotOnBlock: return offset + " is not on a block boundary";
    case BrrLoopUnknown::OffsetPastEnd:
        return offset + " lies past the sample's " + std::to_string(file.blocks) + " blocks";
    }
    return "";
}
