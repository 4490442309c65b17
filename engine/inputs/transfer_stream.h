// Transfer streams: audio data kept in a ROM image in the form the sound
// CPU's boot loader receives it, blocks of (length, audio RAM address,
// bytes) ended by a block of length 0 whose address word is where the
// sound CPU jumps.
#pragma once

#include <cstdint>
#include <functional>
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
// into the block holding the entry point of one of those instead and has a
// block that can place a sample (others can only repeat their driver).
// Parses that merge into another keep their own first blocks: each is one
// reading of the bytes it covers.
std::vector<TransferStream> FindTransferStreams(const uint8_t* image, uint32_t size);

// Whether a block of length bytes from image offset data can place a
// sample: without this test, whether it is long enough for a BRR block.
using PlacesSample = std::function<bool(uint32_t data, uint32_t length)>;
std::vector<TransferStream> FindTransferStreams(const uint8_t* image, uint32_t size, const PlacesSample& placesSample);

// Which block of a stream wrote each audio RAM address last, as sorted
// spans of addresses with one writer; addresses it never writes are in none.
class AramWriters {
public:
    struct Span {
        uint32_t begin;
        uint32_t end;  // one past the last address
        int block;
    };

    // Sorts the stream's blocks out in O(b log b) for b blocks.
    explicit AramWriters(const TransferStream& stream);
    // The block that wrote aram last, or -1.
    int At(uint32_t aram) const;
    // Whether block wrote every address of [begin, end) last.
    bool AllBy(uint32_t begin, uint32_t end, int block) const;
    // The spans in address order.
    const std::vector<Span>& Spans() const { return spans_; }

private:
    const Span* Find(uint32_t aram) const;

    std::vector<Span> spans_;
};
