#include "engine/formats/sample_images.h"

#include "engine/files/little_endian.h"
#include "engine/analysis/tuning.h"
#include "engine/formats/brr_export.h"
#include "engine/formats/sample_soundfont.h"
#include "engine/formats/wav_header.h"
#include "engine/formats/wav_loop.h"

namespace {

std::vector<uint8_t> WavImage(const SampleSet& set, const SetSample& sample, int32_t rate) {
    std::vector<int16_t> pcm;
    set.Decode(sample, pcm);
    uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
    const uint8_t* header = BuildWavHeader(dataBytes, rate);
    std::vector<uint8_t> file(header, header + kWavHeaderSize);
    file.reserve(kWavHeaderSize + dataBytes + kSmplChunkBytes);
    AppendPcm(file, pcm.data(), pcm.size());
    if (HasSmplChunk(sample) && !pcm.empty()) {
        // Samplers play the unity note at the file's rate; without a
        // tuning that is middle C, as before.
        SmplPitch pitch;
        Tuning tuning;
        if (set.LoopTuning(sample, rate, tuning)) pitch = SmplPitchOf(tuning);
        uint8_t chunk[kSmplChunkBytes];
        BuildSmplChunk(chunk, rate, static_cast<uint32_t>(sample.loopPlan.LoopStartSample()),
                       static_cast<uint32_t>(pcm.size() - 1), pitch.unityNote, pitch.pitchFraction);
        GrowRiffSize(file.data(), kSmplChunkBytes);
        file.insert(file.end(), chunk, chunk + kSmplChunkBytes);
    }
    return file;
}

}  // namespace

const char* FormatExtension(SampleFormat format) {
    switch (format) {
    case SampleFormat::Brr: return ".brr";
    case SampleFormat::Wav: return ".wav";
    case SampleFormat::Sf2: return ".sf2";
    }
    return ".wav";
}

bool HasSmplChunk(const SetSample& sample) { return sample.chipLoop; }

std::vector<uint8_t> SampleFileImage(const SampleSet& set, const SetSample& sample, const FileFormat& format,
                                     int32_t rate) {
    switch (format.format) {
    case SampleFormat::Brr:
        return BuildBrrFile(set.Blocks(sample).data(), sample.blocks, format.brrLoopHeader, sample.LoopOffsetBytes());
    case SampleFormat::Wav: return WavImage(set, sample, rate);
    case SampleFormat::Sf2: {
        std::vector<uint8_t> file;
        WriteSetSoundFont(set, {&sample}, rate, set.BaseName(sample),
                          [&file](const uint8_t* data, size_t bytes) {
                              file.insert(file.end(), data, data + bytes);
                              return true;
                          });
        return file;
    }
    }
    return {};
}

void AppendPcm(std::vector<uint8_t>& out, const int16_t* pcm, size_t count) {
    size_t at = out.size();
    out.resize(at + count * 2);
    for (size_t i = 0; i < count; ++i, at += 2) PutLe16(out.data() + at, static_cast<uint16_t>(pcm[i]));
}
