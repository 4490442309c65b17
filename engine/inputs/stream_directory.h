// Sample directory entries uploaded by a transfer stream.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/inputs/transfer_stream.h"

struct StreamEntry {
    uint32_t address;  // audio RAM address of the entry
    uint32_t start;    // start word: the sample's first block
    uint32_t loopWord;
    uint32_t end;      // audio RAM address of the sample's end block
    int block;         // the stream block that holds the sample
    bool overwritten;  // a later block of the stream writes over part of its chain
};

// The end blocks of BRR chains in an image, shared by all its streams:
// each offset is followed once, however many entries and streams ask.
class ChainEnds {
public:
    ChainEnds(const uint8_t* image, uint32_t size) : image_(image), size_(size) {}
    // The image offset of the end block of the chain from at when that
    // block lies wholly before limit.
    bool EndBefore(uint32_t at, uint32_t limit, uint32_t& end);

private:
    static constexpr uint32_t kChunk = 1u << 12;
    // Per offset: 0 unknown, else 1 + blocks to the first end flag, or
    // 0xFFFF when too far; kept in chunks made as the walks reach them.
    uint16_t& Steps(uint32_t at);

    const uint8_t* image_;
    uint32_t size_;
    std::vector<std::unique_ptr<uint16_t[]>> chunks_;
    std::vector<uint32_t> path_;  // the offsets of the walk under way
};

// The entries of the stream's directory tables: rows of two or more
// entries at addresses that are multiples of 4, with distinct starts, each
// start (0x200 or above) the first block of a chain that ends inside the
// block the stream last wrote there, whose loop word names a block of that
// chain (as an address or as an offset from the start), and whose chain
// covers no entry of its row and meets no other sample of it. Only the
// 1 KiB at each page the stream's DIR code stores is read. An entry whose
// chain a later block partly writes over is kept, marked overwritten.
std::vector<StreamEntry> FindStreamEntries(const uint8_t* image, ChainEnds& chains, const TransferStream& stream);
