#include "engine/song/set_midi.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <map>
#include <new>

#include "engine/formats/sample_soundfont.h"
#include "engine/log/shown_text.h"

MidiInstrumentOf SetMidiInstruments(const SampleSet& set, const std::vector<const SetSample*>& samples, int32_t rate,
                                    uint8_t dir) {
    std::vector<SoundFontSample> bank = SoundFontSamplesOf(set, samples, rate);
    std::map<uint32_t, MidiInstrument> byEntry;
    for (size_t k = 0; k < samples.size(); ++k) {
        if (!samples[k]->fromDirectory) continue;
        MidiInstrument instrument;
        instrument.bank = static_cast<uint8_t>(k / 128);
        instrument.program = static_cast<uint8_t>(k % 128);
        // The preset plays the sample at the bank's rate on this key; the chip's pitch $1000 is 32000 Hz.
        instrument.unityKey = bank[k].rootKey - bank[k].correction / 100.0 + 12 * std::log2(32000.0 / rate);
        byEntry[samples[k]->entry.index] = instrument;
    }
    // Entries that repeat a saved one's words play its preset.
    for (const SetSample& sample : set.samples) {
        if (!sample.fromDirectory || sample.entry.sameAs < 0) continue;
        auto saved = byEntry.find(static_cast<uint32_t>(sample.entry.sameAs));
        if (saved != byEntry.end()) byEntry.emplace(sample.entry.index, saved->second);
    }
    return [byEntry, dir](uint8_t page, uint8_t srcn) -> std::optional<MidiInstrument> {
        auto found = byEntry.find(srcn);
        if (page != dir || found == byEntry.end()) return std::nullopt;
        return found->second;
    };
}

int WriteSongMidiFile(const SampleSet& set, const std::vector<const SetSample*>& samples, const SongPlay& song,
                      int32_t rate, OutputFile& file, MidiSongCounts& counts) {
    try {
        std::vector<uint8_t> bytes = SongMidi(song.run.events, song.run.endClock,
                                              SetMidiInstruments(set, samples, rate, song.listedDir), counts);
        return WriteOutput(file, bytes.data(), bytes.size()) ? 0 : file.error;
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
}

int WriteMidiFormatFile(const SampleSet& set, const std::vector<const SetSample*>& samples,
                        const WriteSettings& settings, OutputFile& file) {
    if (!settings.song) return EINVAL;
    MidiSongCounts counts;
    int error = WriteSongMidiFile(set, samples, *settings.song, settings.rate, file, counts);
    if (settings.midiCounts) *settings.midiCounts = counts;
    return error;
}

std::string RefuseMidi(const SampleSet& set, const std::vector<const SetSample*>& /*samples*/,
                       const std::vector<std::string>& /*names*/, bool /*joined*/, const std::string& shown,
                       const WriteSettings& settings) {
    if (settings.song) return "";
    return "a MIDI file comes from playing an SPC snapshot's song" +
           std::string(set.kind == InputKind::Spc ? " (not with --play 0)" : "; " + Quoted(set.path) + " is not one") +
           ", so nothing was written to " + shown + ".";
}

std::string MidiNote(const std::string& path, size_t /*samples*/, const WriteSettings& settings) {
    char text[256];
    const MidiSongCounts* c = settings.midiCounts;
    if (!c) return "\r\nSaved " + path + ".";
    std::snprintf(text, sizeof text,
                  "\r\nSaved %s: %u notes on %u voice tracks; %u noise key-ons left out, %u key-ons without a "
                  "sound (pitch 0 or no preset), %u pitch changes beyond the bend range.",
                  path.c_str(), static_cast<unsigned>(c->notes), static_cast<unsigned>(c->tracks),
                  static_cast<unsigned>(c->noiseKeyOns), static_cast<unsigned>(c->unplayedKeyOns),
                  static_cast<unsigned>(c->bendsClamped));
    return text;
}
