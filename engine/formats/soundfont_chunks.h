// The RIFF pieces of a SoundFont bank that are built in memory: chunks,
// the INFO list and the preset data (pdta) list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/formats/soundfont.h"

using ChunkBytes = std::vector<uint8_t>;

// Appends id, a little-endian size and the body, padded to an even size.
void AppendChunk(ChunkBytes& out, const char* id, const ChunkBytes& body);
// A LIST chunk of this type holding these chunks.
ChunkBytes MakeList(const char* type, const ChunkBytes& chunks);

// The INFO list: version 2.01, the sound engine, the bank's name.
ChunkBytes MakeInfoList(const std::string& bankName);
// The pdta list: presets, instruments and sample headers, with sample k's
// points starting at starts[k] in the smpl chunk.
ChunkBytes MakePresetDataList(const std::vector<SoundFontSample>& samples, const std::vector<uint32_t>& starts);

// The first maxBytes of name, with '_' for every byte that is not
// printable ASCII.
std::string PrintableName(const std::string& name, size_t maxBytes);
// A 20-byte name field: printable ASCII, at most 19 bytes, NUL-filled.
void AppendName(ChunkBytes& out, const std::string& name);
