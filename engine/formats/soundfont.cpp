#include "engine/formats/soundfont.h"

#include <algorithm>

#include "engine/files/little_endian.h"
#include "engine/formats/soundfont_chunks.h"

namespace {

constexpr uint32_t kPointsPerPiece = 4096;
// The kit's zones at most: one a key from its first.
constexpr size_t kLastKitZones = 128 - kFirstKitKey;
// The RIFF size field counts everything after itself.
constexpr uint64_t kMaxRiffBytes = 0xFFFFFFFFull + 8;

// Where each sample starts in the smpl chunk, in points; the total after
// the last one.
std::vector<uint32_t> SampleStarts(const std::vector<SoundFontSample>& samples, uint64_t& totalPoints) {
    std::vector<uint32_t> starts;
    totalPoints = 0;
    for (const SoundFontSample& sample : samples) {
        starts.push_back(static_cast<uint32_t>(totalPoints));
        totalPoints += uint64_t{sample.length} + kSamplePadding;
    }
    return starts;
}

// The RIFF header, the INFO list and the headers of the sdta list and its
// smpl chunk: what comes before the first point.
ChunkBytes Head(const ChunkBytes& info, uint64_t smplBytes, uint64_t fileBytes) {
    ChunkBytes head(12);
    std::copy_n("RIFF", 4, head.begin());
    PutLe32(head.data() + 4, static_cast<uint32_t>(fileBytes - 8));
    std::copy_n("sfbk", 4, head.begin() + 8);
    head.insert(head.end(), info.begin(), info.end());
    uint8_t lists[20];
    std::copy_n("LIST", 4, lists);
    PutLe32(lists + 4, static_cast<uint32_t>(4 + 8 + smplBytes));
    std::copy_n("sdtasmpl", 8, lists + 8);
    PutLe32(lists + 16, static_cast<uint32_t>(smplBytes));
    head.insert(head.end(), lists, lists + 20);
    return head;
}

// Streams one sample's points and its zero padding.
SoundFontError WritePoints(size_t index, uint32_t length, const SoundFontPcm& pcm, const SoundFontSink& sink) {
    std::vector<int16_t> points(kPointsPerPiece);
    std::vector<uint8_t> bytes(2 * kPointsPerPiece);
    for (uint32_t done = 0; done < length;) {
        uint32_t count = std::min(kPointsPerPiece, length - done);
        if (!pcm(index, points.data(), count)) return SoundFontError::PcmFailed;
        for (uint32_t i = 0; i < count; ++i) PutLe16(bytes.data() + 2 * i, static_cast<uint16_t>(points[i]));
        if (!sink(bytes.data(), 2 * count)) return SoundFontError::WriteFailed;
        done += count;
    }
    std::fill_n(bytes.begin(), 2 * kSamplePadding, 0);
    return sink(bytes.data(), 2 * kSamplePadding) ? SoundFontError::None : SoundFontError::WriteFailed;
}

}  // namespace

uint64_t SoundFontBytes(const std::vector<SoundFontSample>& samples, const std::string& bankName) {
    uint64_t points = 0;
    std::vector<uint32_t> starts = SampleStarts(samples, points);
    uint64_t headers = 12 + MakeInfoList(bankName).size() + 20 + MakePresetDataList(samples, starts).size();
    return headers + 2 * points;
}

SoundFontError CheckSoundFont(const std::vector<SoundFontSample>& samples, const std::string& bankName) {
    if (samples.empty()) return SoundFontError::NoSamples;
    if (samples.size() > kMaxSoundFontSamples) return SoundFontError::TooManySamples;
    // Bags and generators are counted in 16 bits: a sample's zones have
    // 3 generators and their layers', the kit's at most 5, and a terminal.
    size_t zones = kLastKitZones + 1, generators = 5 * kLastKitZones + 1;
    for (const SoundFontSample& sample : samples) {
        zones += std::max<size_t>(1, sample.layers.size());
        generators += 3 * std::max<size_t>(1, sample.layers.size());
        for (const auto& layer : sample.layers) generators += layer.size();
    }
    if (zones > 0xFFFF || generators > 0xFFFF) return SoundFontError::TooManySamples;
    for (const SoundFontSample& sample : samples) {
        if (sample.length == 0) return SoundFontError::EmptySample;
        if (sample.looped && !(sample.loopStart < sample.loopEnd && sample.loopEnd <= sample.length))
            return SoundFontError::BadLoop;
    }
    return SoundFontBytes(samples, bankName) > kMaxRiffBytes ? SoundFontError::TooLarge : SoundFontError::None;
}

SoundFontError WriteSoundFont(const std::vector<SoundFontSample>& samples, const std::string& bankName,
                              const SoundFontPcm& pcm, const SoundFontSink& sink) {
    SoundFontError error = CheckSoundFont(samples, bankName);
    if (error != SoundFontError::None) return error;
    uint64_t points = 0;
    std::vector<uint32_t> starts = SampleStarts(samples, points);
    ChunkBytes info = MakeInfoList(bankName);
    ChunkBytes presets = MakePresetDataList(samples, starts);
    uint64_t fileBytes = 12 + info.size() + 20 + 2 * points + presets.size();

    ChunkBytes head = Head(info, 2 * points, fileBytes);
    if (!sink(head.data(), head.size())) return SoundFontError::WriteFailed;
    for (size_t i = 0; i < samples.size(); ++i) {
        error = WritePoints(i, samples[i].length, pcm, sink);
        if (error != SoundFontError::None) return error;
    }
    return sink(presets.data(), presets.size()) ? SoundFontError::None : SoundFontError::WriteFailed;
}

const char* DescribeSoundFontError(SoundFontError error) {
    switch (error) {
    case SoundFontError::None: return "";
    case SoundFontError::NoSamples: return "no sample to put in a SoundFont";
    case SoundFontError::TooManySamples: return "more samples than a SoundFont's 128 banks of 128 programs hold";
    case SoundFontError::EmptySample: return "a sample without points";
    case SoundFontError::BadLoop: return "a loop outside its sample";
    case SoundFontError::TooLarge: return "the SoundFont would be larger than 4 GiB";
    case SoundFontError::PcmFailed: return "a sample could not be decoded";
    case SoundFontError::WriteFailed: return "the SoundFont could not be written";
    }
    return "";
}
