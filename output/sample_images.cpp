#include "output/sample_images.h"

#include "core/little_endian.h"
#include "output/brr_export.h"
#include "output/wav_header.h"
#include "output/wav_loop.h"

namespace {

std::vector<uint8_t> WavImage(const SampleSet& set, const SetSample& sample, int32_t rate) {
    std::vector<int16_t> pcm;
    set.Decode(sample, pcm);
    uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
    const uint8_t* header = BuildWavHeader(dataBytes, rate);
    std::vector<uint8_t> file(header, header + kWavHeaderSize);
    file.reserve(kWavHeaderSize + dataBytes + kSmplChunkBytes);
    AppendPcm(file, pcm.data(), pcm.size());
    if (set.WavLoops(sample) && !pcm.empty()) {
        uint8_t chunk[kSmplChunkBytes];
        BuildSmplChunk(chunk, rate, sample.spc.LoopStartSample(), static_cast<uint32_t>(pcm.size() - 1));
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
    }
    return ".wav";
}

std::vector<uint8_t> SampleFileImage(const SampleSet& set, const SetSample& sample, const FileFormat& format,
                                     int32_t rate) {
    switch (format.format) {
    case SampleFormat::Brr:
        return BuildBrrFile(set.Blocks(sample).data(), sample.blocks, format.brrLoopHeader, sample.LoopOffsetBytes());
    case SampleFormat::Wav: return WavImage(set, sample, rate);
    }
    return {};
}

void AppendPcm(std::vector<uint8_t>& out, const int16_t* pcm, size_t count) {
    size_t at = out.size();
    out.resize(at + count * 2);
    for (size_t i = 0; i < count; ++i, at += 2) PutLe16(out.data() + at, static_cast<uint16_t>(pcm[i]));
}
