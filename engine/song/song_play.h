// What playing an SPC snapshot tells of the entries of its sample
// directory: each entry's key-ons, and the envelope its SoundFont preset
// takes from them.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "engine/formats/soundfont.h"
#include "engine/inputs/sample_set.h"
#include "engine/song/key_on_stats.h"
#include "engine/song/song_run.h"

struct SongPlay {
    double seconds = 0;  // how long the song ran
    SongRun run;
    std::vector<EntryPlay> entries;  // every entry keyed, by DIR page then SRCN
    uint32_t keyOns = 0;             // voices keyed in all
    // The page of the directory the listing reads (the driver may set DIR
    // only once it runs); the DIR page at the start unless told.
    uint8_t listedDir = 0;
    // The SoundFont envelope of each setting fitted so far, by ADSR1, ADSR2 and GAIN.
    mutable std::map<uint32_t, std::vector<SoundFontGenerator>> fittedEnvelopes;

    // The key-ons of entry index of the listed directory; nullptr when never keyed.
    const EntryPlay* Of(uint32_t index) const;
};

// Seconds a snapshot plays unless told: its tag's length and fade, else
// 180 s, as render plays it.
double DefaultPlaySeconds(const SpcSnapshot& snapshot);
// Plays the snapshot of an SPC set (its file's bytes) for seconds, or as
// long as render would without them; false when the bytes hold none. May
// throw std::bad_alloc.
bool PlaySnapshotSet(const SampleSet& set, const double* seconds, SongPlay& play);

// An entry the song keyed that the listing does not hold: in another
// directory page (the driver set DIR once it ran) or past the listed
// entries, read from audio RAM as the run left it.
struct PlaybackEntry {
    const EntryPlay* play;
    SpcSample entry;      // index, start, loop; end 0 when its chain leaves audio RAM
    bool chainEnds;       // its blocks reach an end block inside audio RAM
};
std::vector<PlaybackEntry> PlaybackEntries(const SampleSet& set, const SongPlay& song);

// The key-ons that a saved sample stands for: its own entry's or those of
// an entry with the same words, whichever was keyed most; nullptr: none.
const EntryPlay* SavedSamplePlay(const SampleSet& set, const SetSample& sample, const SongPlay& song);
// The zones of a sample's SoundFont instrument: one with the volume
// envelope of its most used setting; none when the song never keyed it.
std::vector<std::vector<SoundFontGenerator>> SongEnvelopeLayers(const SampleSet& set, const SetSample& sample,
                                                                const SongPlay* song);
