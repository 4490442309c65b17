#include "engine/formats/wav_loop.h"

#include <cstring>

#include "engine/files/little_endian.h"

namespace {

constexpr uint32_t kNanosecondsPerSecond = 1000000000u;

}  // namespace

void BuildSmplChunk(uint8_t* out, int32_t rate, uint32_t loopStart, uint32_t loopEnd, uint32_t unityNote,
                    uint32_t pitchFraction) {
    std::memset(out, 0, kSmplChunkBytes);
    std::memcpy(out, "smpl", 4);
    PutLe32(out + 4, kSmplChunkBytes - 8);
    uint8_t* body = out + 8;
    // manufacturer, product: 0
    PutLe32(body + 8, rate > 0 ? kNanosecondsPerSecond / static_cast<uint32_t>(rate) : 0);
    PutLe32(body + 12, unityNote);
    PutLe32(body + 16, pitchFraction);
    // SMPTE format and offset: 0
    PutLe32(body + 28, 1);  // loops
    // sampler data: 0 bytes
    uint8_t* loop = body + 36;
    // cue point id 0, type 0 (forward)
    PutLe32(loop + 8, loopStart);
    PutLe32(loop + 12, loopEnd);
    // fraction 0, play count 0 (forever)
}

void GrowRiffSize(uint8_t* header, uint32_t chunkBytes) { PutLe32(header + 4, GetLe32(header + 4) + chunkBytes); }
