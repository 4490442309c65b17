// Loop points in a WAVE file: a "smpl" chunk after the data chunk, which
// samplers and libsndfile read and other readers skip.
#pragma once

#include <cstdint>

// Id, size and a body with one loop.
constexpr uint32_t kSmplChunkBytes = 8 + 36 + 24;

// Writes a smpl chunk with one forward loop over frames loopStart..loopEnd
// (inclusive) into out, which holds kSmplChunkBytes. The sample sounds
// MIDI note unityNote plus pitchFraction / 2^32 of a semitone.
void BuildSmplChunk(uint8_t* out, int32_t rate, uint32_t loopStart, uint32_t loopEnd, uint32_t unityNote = 60,
                    uint32_t pitchFraction = 0);

// Adds a chunk of chunkBytes to the RIFF size of a 44-byte header.
void GrowRiffSize(uint8_t* header, uint32_t chunkBytes);
