#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/song/midi_song.h"
#include "engine/song/voice_event_recorder.h"
#include "tests/midi_reader.h"

namespace {

VoiceState Voice(uint8_t srcn, uint16_t pitch, bool echo = false, bool noise = false) {
    VoiceState s;
    s.dir = 2;
    s.srcn = srcn;
    s.pitch = pitch;
    s.volumeLeft = 64;
    s.volumeRight = 127;
    s.echo = echo;
    s.noise = noise;
    return s;
}

constexpr uint64_t kMs = 1024;  // clocks a tick

// Entry 1 is program 0, entry 2 bank 1 program 5 tuned to key 69.3; 3 has no preset.
std::optional<MidiInstrument> Instruments(uint8_t, uint8_t srcn) {
    if (srcn == 1) return MidiInstrument{0, 0, 60};
    if (srcn == 2) return MidiInstrument{1, 5, 69.3};
    return std::nullopt;
}

// Events not of the set-up (track names, RPN, end of track), as text.
std::vector<std::string> Played(const std::vector<ReadEvent>& events, size_t track) {
    std::vector<std::string> out;
    for (const ReadEvent& e : events) {
        bool control = (e.bytes[0] & 0xF0) == 0xB0;
        bool setUp = control && (e.bytes[1] >= 100 || e.bytes[1] == 6 || e.bytes[1] == 38);
        if (e.track != track || e.bytes[0] == 0xFF || setUp) continue;
        std::string text = std::to_string(e.tick) + ":";
        for (uint8_t b : e.bytes) text += " " + std::to_string(b);
        out.push_back(text);
    }
    return out;
}

TEST(MidiSongTest, EventsReadBackOneByOne) {
    using K = VoiceEventKind;
    std::vector<VoiceEvent> events = {
        {10 * kMs, 0, K::KeyOn, Voice(1, 0x1000)},
        {20 * kMs, 1, K::KeyOn, Voice(1, 0x1000, false, true)},  // noise: left out
        {30 * kMs, 2, K::KeyOn, Voice(2, 0x0800, true)},
        {100 * kMs, 0, K::Pitch, Voice(1, 0x1100)},
        {200 * kMs, 0, K::Volume,
         [] {
             VoiceState s = Voice(1, 0x1100);
             s.volumeLeft = 32;
             s.volumeRight = 32;
             return s;
         }()},
        {500 * kMs, 0, K::KeyOff, Voice(1, 0x1100)},
        {800 * kMs, 2, K::End, Voice(2, 0x0800, true)},
        {900 * kMs, 2, K::KeyOn, Voice(2, 0x0800)},
        {1000 * kMs, 2, K::KeyOn, Voice(1, 0x2000)},
        {1100 * kMs, 2, K::KeyOn, Voice(3, 0x1000)},  // no preset: the note before still ends here
    };
    MidiSongCounts counts;
    std::vector<uint8_t> file = SongMidi(events, 1500 * kMs, Instruments, counts);
    MidiReader reader(file);
    std::vector<ReadEvent> read = reader.Read();
    EXPECT_EQ(reader.format, 1u);
    EXPECT_EQ(reader.division, 500u);
    EXPECT_EQ(reader.tracks, 3u);  // conductor, voices 0 and 2
    EXPECT_EQ(read[0].bytes, (std::vector<uint8_t>{0xFF, 0x51, 0x07, 0xA1, 0x20}));
    // Bend range on each voice track: RPN 0 = 12 semitones.
    EXPECT_EQ(read[3].bytes, (std::vector<uint8_t>{0xB0, 101, 0}));
    EXPECT_EQ(read[5].bytes, (std::vector<uint8_t>{0xB0, 6, 12}));
    // Volume 127 of 128 is CC7 sqrt(127/128) x 127; pan 64 + 63 x (127 - 64) / 191;
    // $1100 is 1.0496 semitones up: bend 8192 x (1 + 1.0496 / 12) = 8908 (LSB 76, MSB 69).
    // Key 69.3 an octave down is key 57 bent by 0.3: 8397 = (77, 65).
    EXPECT_EQ(Played(read, 1),
              (std::vector<std::string>{"10: 176 0 0", "10: 176 32 0", "10: 192 0", "10: 176 7 127", "10: 176 10 85",
                                        "10: 176 91 0", "10: 144 60 127", "100: 224 76 69", "200: 176 7 64",
                                        "200: 176 10 64", "500: 128 60 0"}));
    EXPECT_EQ(Played(read, 2), (std::vector<std::string>{
                                   "30: 178 0 1", "30: 178 32 0", "30: 194 5", "30: 178 7 127", "30: 178 10 85",
                                   "30: 178 91 64", "30: 226 77 65", "30: 146 57 127", "800: 130 57 0", "900: 178 91 0",
                                   "900: 146 57 127", "1000: 130 57 0", "1000: 178 0 0", "1000: 178 32 0",
                                   "1000: 194 0", "1000: 226 0 64", "1000: 146 72 127", "1100: 130 72 0"}));
    EXPECT_EQ(counts.notes, 4u);
    EXPECT_EQ(counts.noiseKeyOns, 1u);
    EXPECT_EQ(counts.unplayedKeyOns, 1u);
}

// The recorder turns register writes into events: key-on with the
// registers then, pitch and volume while sounding, KOFF, and an end block
// without loop (not one the previous sample passes just after KON).
TEST(MidiSongTest, RecorderFollowsRegisterWrites) {
    uint8_t registers[128] = {};
    registers[0x5D] = 3;  // DIR
    VoiceEventRecorder recorder;
    recorder.Start(registers);
    for (auto [clock, address, value] : std::vector<std::tuple<uint64_t, uint8_t, uint8_t>>{{100, 0x14, 7},
                                                                                            {110, 0x12, 0x00},
                                                                                            {120, 0x13, 0x10},
                                                                                            {130, 0x3D, 0x00},
                                                                                            {140, 0x4C, 0x02},
                                                                                            {150, 0x12, 0x00},
                                                                                            {160, 0x13, 0x20},
                                                                                            {170, 0x11, 50},
                                                                                            {180, 0x5C, 0x02},
                                                                                            {190, 0x5C, 0x00}})
        recorder.OnDspWrite(clock, address, value);
    recorder.OnDspWrite(1000, 0x4C, 0x02);
    recorder.OnVoiceEnd(1100, 1, true);   // the old sample, within the key-on delay
    recorder.OnVoiceEnd(2000, 1, false);  // a loop
    recorder.OnVoiceEnd(3000, 1, true);
    std::vector<std::string> got;
    for (const VoiceEvent& e : recorder.Events())
        got.push_back(std::to_string(e.clock) + " v" + std::to_string(e.voice) + " k" +
                      std::to_string(static_cast<int>(e.kind)) + " dir" + std::to_string(e.state.dir) + " srcn" +
                      std::to_string(e.state.srcn) + " p" + std::to_string(e.state.pitch));
    EXPECT_EQ(got, (std::vector<std::string>{"140 v1 k0 dir3 srcn7 p4096", "160 v1 k2 dir3 srcn7 p8192",
                                             "170 v1 k3 dir3 srcn7 p8192", "180 v1 k1 dir3 srcn7 p8192",
                                             "1000 v1 k0 dir3 srcn7 p8192", "3000 v1 k5 dir3 srcn7 p8192"}));
}

}  // namespace
