#include "engine/formats/sample_images.h"

#include <cerrno>
#include <new>

#include "engine/analysis/tuning.h"
#include "engine/files/little_endian.h"
#include "engine/formats/brr_export.h"
#include "engine/formats/wav_loop.h"
#include "engine/inputs/sample_reader.h"
#include "engine/log/shown_text.h"

namespace {

uint64_t TotalPcmBytes(const SampleSet& set, const std::vector<const SetSample*>& samples) {
    uint64_t total = 0;
    for (const SetSample* sample : samples) total += set.PcmBytes(*sample);
    return total;
}

// "WHAT holds N bytes of PCM, more than ...", or empty within the limit.
std::string TooLarge(uint64_t pcmBytes, const std::string& what, uint64_t limit) {
    if (pcmBytes <= limit) return "";
    return what + " holds " + std::to_string(pcmBytes) +
           " bytes of PCM, more than one WAVE file can describe (" + std::to_string(limit) +
           " bytes); nothing was written.";
}

}  // namespace

std::vector<uint8_t> WavImage(const SampleSet& set, const SetSample& sample, const WriteSettings& settings) {
    const int32_t rate = settings.rate;
    std::vector<int16_t> pcm;
    set.Decode(sample, pcm);
    uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
    WavHeader header = BuildWavHeader(dataBytes, rate);
    std::vector<uint8_t> file(header.begin(), header.end());
    file.reserve(kWavHeaderSize + dataBytes + kSmplChunkBytes);
    AppendPcm(file, pcm.data(), pcm.size());
    if (HasSmplChunk(sample) && !pcm.empty()) {
        // Samplers play the unity note at the file's rate; without a
        // tuning that is middle C, as before.
        SmplPitch pitch;
        Tuning tuning;
        if (set.LoopTuning(sample, rate, tuning)) pitch = SmplPitchOf(tuning);
        uint8_t chunk[kSmplChunkBytes];
        BuildSmplChunk(chunk, rate, static_cast<uint32_t>(sample.measures.loopPlan.LoopStartSample()),
                       static_cast<uint32_t>(pcm.size() - 1), pitch.unityNote, pitch.pitchFraction);
        GrowRiffSize(file.data(), kSmplChunkBytes);
        file.insert(file.end(), chunk, chunk + kSmplChunkBytes);
    }
    return file;
}

std::vector<uint8_t> BrrImage(const SampleSet& set, const SetSample& sample, const WriteSettings& settings) {
    return BuildBrrFile(set.Blocks(sample).data(), sample.blocks, settings.brrLoopHeader, sample.LoopOffsetBytes());
}

int WriteJoinedWav(const SampleSet& set, const std::vector<const SetSample*>& samples, const WriteSettings& settings,
                   OutputFile& file) {
    uint64_t total = TotalPcmBytes(set, samples);
    if (!FitsOneWavFile(total)) return EFBIG;
    if (!WriteOutput(file, BuildWavHeader(static_cast<uint32_t>(total), settings.rate).data(), kWavHeaderSize))
        return file.error;
    try {
        std::vector<int16_t> pcm(1 << 16);
        std::vector<uint8_t> bytes;
        for (const SetSample* sample : samples) {
            SampleReader reader(set, *sample);
            for (uint32_t got; (got = reader.Read(pcm.data(), static_cast<uint32_t>(pcm.size()))) > 0;) {
                bytes.clear();
                AppendPcm(bytes, pcm.data(), got);
                if (!WriteOutput(file, bytes.data(), bytes.size())) return file.error;
            }
        }
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
    return 0;
}

std::string RefuseLargeWav(const SampleSet& set, const std::vector<const SetSample*>& samples,
                           const std::vector<std::string>& names, bool joined, const std::string& /*shown*/,
                           const WriteSettings& settings) {
    if (joined) return TooLarge(TotalPcmBytes(set, samples), "the samples together", settings.maxWavPcm);
    for (size_t k = 0; k < samples.size(); ++k) {
        const SetSample& sample = *samples[k];
        std::string refusal = TooLarge(set.PcmBytes(sample) + (HasSmplChunk(sample) ? kSmplChunkBytes : 0),
                                       "sample " + names[k], settings.maxWavPcm);
        if (!refusal.empty()) return refusal;
    }
    return "";
}

std::string WavFolderNote(unsigned written, const std::string& folder, const WriteSettings& settings) {
    return "\r\nWrote " + std::to_string(written) + " .wav files in directory " + ShownText(folder) +
           " at frequency " + std::to_string(settings.rate) + ".";
}

bool HasSmplChunk(const SetSample& sample) { return sample.measures.chipLoop; }

void AppendPcm(std::vector<uint8_t>& out, const int16_t* pcm, size_t count) {
    size_t at = out.size();
    out.resize(at + count * 2);
    for (size_t i = 0; i < count; ++i, at += 2) PutLe16(out.data() + at, static_cast<uint16_t>(pcm[i]));
}
