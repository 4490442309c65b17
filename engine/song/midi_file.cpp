#include "engine/song/midi_file.h"

namespace {

constexpr uint8_t kMeta = 0xFF;
constexpr uint8_t kEndOfTrack = 0x2F;

void AppendBig32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// A variable-length quantity: 7 bits a byte, most significant first, the
// high bit set on all but the last.
void AppendVariable(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t bytes[5];
    int count = 0;
    do {
        bytes[count++] = value & 0x7F;
        value >>= 7;
    } while (value != 0);
    while (count > 1) out.push_back(bytes[--count] | 0x80);
    out.push_back(bytes[0]);
}

}  // namespace

void MidiTrack::Delta(uint32_t tick) {
    // Events arrive in time order; one that does not is kept at the last tick.
    uint32_t at = tick < lastTick_ ? lastTick_ : tick;
    AppendVariable(body_, at - lastTick_);
    lastTick_ = at;
    ++events_;
}

void MidiTrack::Add(uint32_t tick, std::initializer_list<uint8_t> message) {
    Delta(tick);
    body_.insert(body_.end(), message.begin(), message.end());
}

void MidiTrack::Meta(uint32_t tick, uint8_t type, const std::vector<uint8_t>& data) {
    Delta(tick);
    body_.push_back(kMeta);
    body_.push_back(type);
    AppendVariable(body_, static_cast<uint32_t>(data.size()));
    body_.insert(body_.end(), data.begin(), data.end());
}

std::vector<uint8_t> MidiTrack::Chunk() const {
    std::vector<uint8_t> chunk = {'M', 'T', 'r', 'k'};
    AppendBig32(chunk, static_cast<uint32_t>(body_.size() + 4));
    chunk.insert(chunk.end(), body_.begin(), body_.end());
    chunk.insert(chunk.end(), {0, kMeta, kEndOfTrack, 0});
    return chunk;
}

std::vector<uint8_t> MidiFileBytes(const std::vector<MidiTrack>& tracks, uint16_t division) {
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    file.push_back(static_cast<uint8_t>(tracks.size() >> 8));
    file.push_back(static_cast<uint8_t>(tracks.size()));
    file.push_back(static_cast<uint8_t>(division >> 8));
    file.push_back(static_cast<uint8_t>(division));
    for (const MidiTrack& track : tracks) {
        std::vector<uint8_t> chunk = track.Chunk();
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    return file;
}
