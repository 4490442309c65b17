// Sample directory entries uploaded by a transfer stream.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/inputs/transfer_stream.h"

struct StreamEntry {
    uint32_t address;  // audio RAM address of the entry
    uint32_t start;    // start word: the sample's first block
    uint32_t loopWord;
    uint32_t end;      // audio RAM address of the sample's end block
    int block;         // the stream block that holds the sample
};

// The entries of the stream's directory tables: rows of two or more
// entries at addresses that are multiples of 4, with distinct starts, each
// start (0x200 or above) the first block of a chain that ends inside the
// block the stream last wrote there, whose loop word names a block of that
// chain (as an address or as an offset from the start), and whose chain
// covers no entry of its row and meets no other sample of it. Only the
// 1 KiB at each page the stream's DIR code stores is read.
std::vector<StreamEntry> FindStreamEntries(const uint8_t* image, const TransferStream& stream);
