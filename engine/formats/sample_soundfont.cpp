#include "engine/formats/sample_soundfont.h"

#include <cerrno>
#include <memory>
#include <new>

#include "engine/inputs/sample_reader.h"
#include "engine/analysis/tuning.h"
#include "engine/log/shown_text.h"
#include "engine/song/song_play.h"

std::vector<SoundFontSample> SoundFontSamplesOf(const SampleSet& set, const std::vector<const SetSample*>& samples,
                                                int32_t rate, const SongPlay* song) {
    std::vector<SoundFontSample> bank;
    for (const SetSample* sample : samples) {
        SoundFontSample entry;
        entry.name = set.BaseName(*sample);
        entry.rate = static_cast<uint32_t>(rate);
        uint64_t points = set.PcmBytes(*sample) / 2;
        // Too long for a sample header: CheckSoundFont refuses the bank.
        entry.length = points > UINT32_MAX ? 0 : static_cast<uint32_t>(points);
        if (sample->measures.chipLoop) {
            entry.looped = true;
            entry.loopStart = static_cast<uint32_t>(sample->measures.loopPlan.LoopStartSample());
            entry.loopEnd = entry.length;
        }
        Tuning tuning;
        if (set.LoopTuning(*sample, rate, tuning)) {
            KeyPitch pitch = KeyPitchOf(tuning);
            entry.rootKey = pitch.rootKey;
            entry.correction = pitch.correction;
        }
        entry.layers = SongEnvelopeLayers(set, *sample, song);
        bank.push_back(entry);
    }
    return bank;
}

SoundFontError WriteSetSoundFont(const SampleSet& set, const std::vector<const SetSample*>& samples, int32_t rate,
                                 const std::string& bankName, const SoundFontSink& sink, const SongPlay* song) {
    // Samples are asked for in order, each from its start: one reader at a time.
    std::unique_ptr<SampleReader> reader;
    size_t current = samples.size();
    auto pcm = [&](size_t index, int16_t* out, uint32_t count) {
        if (index != current) {
            reader.reset();
            reader.reset(new SampleReader(set, *samples[index]));
            current = index;
        }
        if (!reader->HasPcm()) return false;
        while (count > 0) {
            uint32_t got = reader->Read(out, count);
            if (got == 0) return false;
            out += got;
            count -= got;
        }
        return true;
    };
    return WriteSoundFont(SoundFontSamplesOf(set, samples, rate, song), bankName, pcm, sink);
}

int WriteSoundFontFile(const SampleSet& set, const std::vector<const SetSample*>& samples,
                       const WriteSettings& settings, OutputFile& file) {
    SoundFontError error;
    try {
        error = WriteSetSoundFont(set, samples, settings.rate, settings.bankName,
                                  [&file](const uint8_t* data, size_t bytes) { return WriteOutput(file, data, bytes); },
                                  settings.song);
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
    switch (error) {
    case SoundFontError::None: return 0;
    case SoundFontError::WriteFailed: return file.error;
    case SoundFontError::PcmFailed: return ENOMEM;
    default: return EINVAL;
    }
}

std::string RefuseSoundFont(const SampleSet& set, const std::vector<const SetSample*>& samples,
                            const std::vector<std::string>& /*names*/, bool /*joined*/, const std::string& shown,
                            const WriteSettings& settings) {
    SoundFontError refused =
        CheckSoundFont(SoundFontSamplesOf(set, samples, settings.rate, settings.song), settings.bankName);
    if (refused == SoundFontError::None) return "";
    return "cannot write " + shown + ": " + DescribeSoundFontError(refused) + "; nothing was written.";
}

std::string SoundFontNote(const std::string& path, size_t samples, const WriteSettings& settings) {
    return "\r\nSaved " + ShownText(path) + " with " + std::to_string(samples) + " samples at frequency " +
           std::to_string(settings.rate) + ".";
}
