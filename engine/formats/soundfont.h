// SoundFont 2.01 banks: one preset per sample, playing it over the whole
// keyboard with its loop and tuning, and one drum-kit preset (bank 128,
// program 0) that lays the samples out on the keys to audition a set.
// The PCM is asked for piece by piece while the file is written, so a
// bank of any size streams through a small buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One generator of an instrument zone: its number and 16-bit amount.
struct SoundFontGenerator {
    uint16_t generator = 0;
    int16_t amount = 0;
};

struct SoundFontSample {
    std::string name;           // control characters become '_'; 19 bytes kept
    uint32_t rate = 32000;
    uint32_t length = 0;        // PCM points, at least 1
    bool looped = false;        // loops continuously when set
    uint32_t loopStart = 0;     // first point of the loop
    uint32_t loopEnd = 0;       // first point after it; loopStart < loopEnd <= length
    uint8_t rootKey = 60;       // the key at which the sample plays at its own rate
    int8_t correction = 0;      // cents applied on playback
    // The zones of the sample's own instrument, each playing the whole
    // sample over the keyboard with these generators added (an envelope, an
    // attenuation); none: one zone without them.
    std::vector<std::vector<SoundFontGenerator>> layers;
};

// Writes the next count points of sample index into out. Samples are asked
// for in order, each from its start; false stops the writing.
using SoundFontPcm = std::function<bool(size_t index, int16_t* out, uint32_t count)>;
// Takes the next bytes of the file; false stops the writing.
using SoundFontSink = std::function<bool(const uint8_t* data, size_t bytes)>;

enum class SoundFontError {
    None,
    NoSamples,
    TooManySamples,  // more than kMaxSoundFontSamples
    EmptySample,
    BadLoop,
    TooLarge,        // the file would pass the RIFF size limit of 4 GiB
    PcmFailed,       // the PCM source said no
    WriteFailed,     // the sink said no
};

// Programs 0..127 in banks 0..127: bank 128 holds the kit.
constexpr size_t kMaxSoundFontSamples = 128 * 128;
// Sample k of the kit sits on this key plus k, up to key 127.
constexpr unsigned kFirstKitKey = 36;
// Zero points after each sample, as players read ahead of the end.
constexpr uint32_t kSamplePadding = 46;

// The size the file will have.
uint64_t SoundFontBytes(const std::vector<SoundFontSample>& samples, const std::string& bankName);
// Whether these samples make a valid bank, before anything is written.
SoundFontError CheckSoundFont(const std::vector<SoundFontSample>& samples, const std::string& bankName);
// Writes the whole bank, named bankName, to sink.
SoundFontError WriteSoundFont(const std::vector<SoundFontSample>& samples, const std::string& bankName,
                              const SoundFontPcm& pcm, const SoundFontSink& sink);
// A short English reason.
const char* DescribeSoundFontError(SoundFontError error);
