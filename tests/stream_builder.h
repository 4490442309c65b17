// ROM images holding transfer streams, as sound drivers upload them: a
// driver that sets DIR, directory entries and BRR samples.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "engine/inputs/stream_loops.h"
#include "tests/test_support.h"

constexpr uint8_t kPage = 0x30;  // the page the drivers store to DIR
constexpr uint32_t kTable = kPage * 0x100;
constexpr uint16_t kEntry = 0x0400;  // where the driver code goes and streams jump

// One block of a stream: bytes copied to audio RAM at aram.
struct Upload {
    uint32_t aram;
    Bytes data;
};

// Code that stores page to DIR with one of the drivers' patterns (0, 1
// or 2), then waits.
Bytes DriverCode(unsigned pattern, uint8_t page = kPage);

// Directory entries: (start word, loop word) pairs.
Bytes Entries(std::initializer_list<std::pair<uint16_t, uint16_t>> words);

// Writes the uploads at image[at] as one stream ended by a zero-length
// block jumping to jump; moves at past it. Returns the image offset of
// each upload's data.
std::vector<uint32_t> PutStream(Bytes& image, uint32_t& at, const std::vector<Upload>& uploads, uint16_t jump);

// Samples at fixed audio RAM addresses, with their lengths in blocks.
struct StreamSample {
    uint32_t aram;
    unsigned blocks;
    bool loop;
};
extern const StreamSample kStreamSamples[5];
// Address loop at block 2; offset loop at block 1; no loop.
extern const Bytes kTableEntries;
// For samples 3 and 4: address loop at block 0; offset 0.
extern const Bytes kMoreEntries;

// One upload holding the given kStreamSamples at their addresses.
Upload SampleBlock(std::initializer_list<unsigned> which);

// A 64 KiB image holding the given streams, one after another from offset
// 0x1000, over noise from seed or, with seed 0, over bytes that never
// start a run; remembers where each sample landed.
struct StreamImage {
    Bytes image;
    std::vector<FoundRun> runs;  // one per kStreamSamples entry, {0, 0} when not uploaded

    StreamImage(const std::vector<std::vector<Upload>>& streams, uint16_t jump = kEntry, uint32_t seed = 7);
};
