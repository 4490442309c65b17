#include "engine/song/song_play.h"

#include <algorithm>
#include <memory>

#include "engine/song/volume_envelope.h"
#include "engine/sound/play_length.h"
#include "engine/sound/sound_processor.h"

const EntryPlay* SongPlay::Of(uint32_t index) const {
    for (const EntryPlay& entry : entries)
        if (entry.dir == listedDir && entry.srcn == index) return &entry;
    return nullptr;
}

double DefaultPlaySeconds(const SpcSnapshot& snapshot) {
    return static_cast<double>(TaggedPlayLength(snapshot).frames) / kFramesPerSecond;
}

bool PlaySnapshotSet(const SampleSet& set, const double* seconds, SongPlay& play) {
    auto snapshot = std::make_unique<SpcSnapshot>();
    if (!ReadSpcSnapshot(set.bytes.data(), set.bytes.size(), *snapshot)) return false;
    play.seconds = seconds ? *seconds : DefaultPlaySeconds(*snapshot);
    play.run = PlaySong(*snapshot, play.seconds);
    std::vector<VoiceKeyOn> keyOns = KeyOnsOf(play.run.events);
    play.keyOns = static_cast<uint32_t>(keyOns.size());
    play.entries = GatherKeyOns(keyOns);
    bool listed = set.directory.source != DirectorySource::Scan;
    play.listedDir = listed ? static_cast<uint8_t>(set.directory.address >> 8) : play.run.startDir;
    return true;
}

std::vector<PlaybackEntry> PlaybackEntries(const SampleSet& set, const SongPlay& song) {
    std::vector<PlaybackEntry> found;
    const std::vector<uint8_t>& ram = song.run.ram;
    if (ram.size() < 0x10000) return found;
    for (const EntryPlay& play : song.entries) {
        bool listed = play.dir == song.listedDir &&
                      std::any_of(set.samples.begin(), set.samples.end(), [&](const SetSample& s) {
                          return s.fromDirectory && s.entry.index == play.srcn;
                      });
        if (listed) continue;
        uint32_t at = play.dir * 0x100u + play.srcn * 4u;
        PlaybackEntry entry{&play, SpcSample{}, false};
        entry.entry.index = play.srcn;
        entry.entry.start = static_cast<uint32_t>(ram[at & 0xFFFF] | ram[(at + 1) & 0xFFFF] << 8);
        entry.entry.loopWord = static_cast<uint16_t>(ram[(at + 2) & 0xFFFF] | ram[(at + 3) & 0xFFFF] << 8);
        entry.entry.loop = LoopKind::None;
        entry.entry.sameAs = -1;
        entry.chainEnds = FindChainEnd(ram.data(), entry.entry.start, entry.entry.end);
        if (entry.chainEnds) ResolveLoop(ram.data(), entry.entry);
        found.push_back(entry);
    }
    return found;
}

const EntryPlay* SavedSamplePlay(const SampleSet& set, const SetSample& sample, const SongPlay& song) {
    if (!sample.fromDirectory) return nullptr;
    const EntryPlay* best = song.Of(sample.entry.index);
    for (const SetSample& other : set.samples) {
        if (!other.fromDirectory || other.entry.sameAs != static_cast<int32_t>(sample.entry.index)) continue;
        const EntryPlay* play = song.Of(other.entry.index);
        if (play && (!best || play->keyOns > best->keyOns)) best = play;
    }
    return best;
}

std::vector<std::vector<SoundFontGenerator>> SongEnvelopeLayers(const SampleSet& set, const SetSample& sample,
                                                                const SongPlay* song) {
    const EntryPlay* play = song ? SavedSamplePlay(set, sample, *song) : nullptr;
    if (!play) return {};
    // A fit takes milliseconds, and a bank is described more than once: once per setting.
    EnvelopeSetting e = play->envelope;
    uint32_t key = static_cast<uint32_t>(e.adsr1 << 16 | e.adsr2 << 8 | e.gain);
    auto fitted = song->fittedEnvelopes.find(key);
    if (fitted == song->fittedEnvelopes.end())
        fitted = song->fittedEnvelopes.emplace(key, VolumeEnvelopeGenerators(VolumeEnvelopeOf(e))).first;
    return {fitted->second};
}
