// Raw BRR files: a sample's blocks as the sound chip reads them, with an
// optional 2-byte loop header, the layout most SNES music tools take.
#pragma once

#include <cstdint>
#include <vector>

// The file for the blocks at data (9 x blocks bytes). With loopHeader the
// file starts with the loop offset in bytes, little-endian (0 when the
// sample does not loop or its loop point is unknown).
std::vector<uint8_t> BuildBrrFile(const uint8_t* data, uint32_t blocks, bool loopHeader, uint32_t loopOffset);
