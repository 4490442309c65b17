// Transfer streams: audio data kept in a ROM image in the form the sound
// CPU's boot loader receives it, blocks of (length, audio RAM address,
// bytes) ended by a block of length 0 whose address word is where the
// sound CPU jumps.
#pragma once

#include <cstdint>
#include <vector>

struct StreamBlock {
    uint32_t data;    // image offset of the first data byte (after the 4-byte header)
    uint32_t length;  // 1..0x10000 - aram
    uint32_t aram;    // audio RAM address of the first data byte
};

struct TransferStream {
    uint32_t start;                    // image offset of the first block's header
    uint32_t terminator;               // image offset of the zero-length block
    uint16_t jump;                     // its address word
    std::vector<StreamBlock> blocks;   // in upload order
    std::vector<uint8_t> dirPages;     // pages stored to DIR by its code, or by the code it jumps into
    int entersStream = -1;             // the stream whose entry block it jumps into, or -1: its own
};

// The streams of the image that can carry a directory: every parse from a
// first block to a zero-length block, all inside the image and audio RAM
// and none over the I/O registers at 0xF0-0xFF, whose jump address (above
// the direct page and the stack) lies in a block it uploads itself and
// whose blocks hold code that sets DIR; and every such parse that jumps
// into the block holding the entry point of one of those instead.
// Parses that merge into another keep their own first blocks: each is one
// reading of the bytes it covers.
std::vector<TransferStream> FindTransferStreams(const uint8_t* image, uint32_t size);

// The block of the stream that wrote audio RAM address aram last, or -1.
int LatestWriter(const TransferStream& stream, uint32_t aram);
