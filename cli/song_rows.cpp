#include "cli/song_rows.h"

#include <cmath>
#include <cstdio>

#include "engine/song/envelope_shape.h"

namespace {

constexpr double kChipFrameRate = 32000;

// Rounded as a listing shows them: thousandths of a second or of the level.
OrderedJson Thousandths(const std::optional<double>& value) {
    return value ? OrderedJson(std::round(*value * 1000.0) / 1000.0) : OrderedJson(nullptr);
}

OrderedJson EnvelopeJson(EnvelopeSetting setting) {
    EnvelopeShape shape = DescribeEnvelope(setting);
    return {{"adsr1", setting.adsr1},
            {"adsr2", setting.adsr2},
            {"gain", setting.gain},
            {"mode", EnvelopeModeName(shape.mode)},
            {"attack", Thousandths(shape.attack)},
            {"decay", Thousandths(shape.decay)},
            {"sustainLevel", Thousandths(shape.sustainLevel)},
            {"sustainDecay", Thousandths(shape.sustainDecay)},
            {"release", Thousandths(shape.release)}};
}

// "A.010 D.240 L.25 S1.2", "gain .62", "up .32": the setting in a few characters.
std::string ShortEnvelope(EnvelopeSetting setting) {
    EnvelopeShape shape = DescribeEnvelope(setting);
    auto time = [](const std::optional<double>& t) {
        char text[16];
        if (!t) return std::string("-");
        std::snprintf(text, sizeof text, *t < 1 ? "%.3f" : "%.1f", *t);
        return std::string(text[0] == '0' && text[1] == '.' ? text + 1 : text);
    };
    char text[64];
    switch (shape.mode) {
    case EnvelopeMode::Adsr:
        std::snprintf(text, sizeof text, "A%s D%s L%.2f S%s", time(shape.attack).c_str(), time(shape.decay).c_str(),
                      shape.sustainLevel.value_or(0), time(shape.sustainDecay).c_str());
        break;
    case EnvelopeMode::GainDirect: std::snprintf(text, sizeof text, "gain %.2f", shape.sustainLevel.value_or(0)); break;
    case EnvelopeMode::GainLinearUp: std::snprintf(text, sizeof text, "up %s", time(shape.attack).c_str()); break;
    case EnvelopeMode::GainBentUp: std::snprintf(text, sizeof text, "bent %s", time(shape.attack).c_str()); break;
    case EnvelopeMode::GainLinearDown: std::snprintf(text, sizeof text, "down %s", time(shape.decay).c_str()); break;
    default: std::snprintf(text, sizeof text, "exp %s", time(shape.decay).c_str()); break;
    }
    return text;
}

}  // namespace

void AddSongFields(const SampleSet& set, const SetSample& sample, const SongPlay& song, OrderedJson& row) {
    if (!sample.fromDirectory) return;
    const EntryPlay* play = song.Of(sample.entry.index);
    row["keyOns"] = play ? play->keyOns : 0;
    row["firstKeyOn"] = play ? OrderedJson(std::round(play->firstKeyOn * 1e6) / 1e6) : OrderedJson(nullptr);
    row["envelope"] = play ? EnvelopeJson(play->envelope) : OrderedJson(nullptr);
    row["envelopes"] = play ? play->envelopes : 0u;
    // The chip plays pitch $1000 at 32000 Hz, whatever rate the files are written at.
    Tuning tuning;
    bool tuned = set.LoopTuning(sample, kChipFrameRate, tuning);
    std::optional<NoteRange> notes;
    if (play) notes = NotesPlayed(*play, tuned ? std::optional<double>(tuning.midi) : std::nullopt);
    row["notes"] = notes ? OrderedJson({{"low", notes->low}, {"high", notes->high}}) : OrderedJson(nullptr);
    if (!tuned || !play) return;
    std::optional<double> cents = SongCents(*play);
    row["tuning"]["songCents"] = cents ? OrderedJson(std::round(*cents * 100.0) / 100.0) : OrderedJson(nullptr);
    row["tuning"]["agrees"] = cents ? OrderedJson(TuningAgrees(tuning.cents, *cents)) : OrderedJson(nullptr);
}

namespace {

// The song's fields of an entry keyed this way, notes from key 60 for pitch $1000.
void AddPlayFields(const EntryPlay& play, OrderedJson& row) {
    row["keyOns"] = play.keyOns;
    row["firstKeyOn"] = std::round(play.firstKeyOn * 1e6) / 1e6;
    row["envelope"] = EnvelopeJson(play.envelope);
    row["envelopes"] = play.envelopes;
    std::optional<NoteRange> notes = NotesPlayed(play, std::nullopt);
    row["notes"] = notes ? OrderedJson({{"low", notes->low}, {"high", notes->high}}) : OrderedJson(nullptr);
}

}  // namespace

void AddPlaybackRows(const SampleSet& set, const SongPlay& song, OrderedJson& samples) {
    for (const PlaybackEntry& found : PlaybackEntries(set, song)) {
        const SpcSample& spc = found.entry;
        OrderedJson row = {{"index", spc.index},
                           {"dir", found.play->dir * 0x100},
                           {"directorySource", "playback"},
                           {"aramStart", spc.start},
                           {"aramLoop", spc.LoopKnown() ? OrderedJson(spc.loopAddress) : OrderedJson(nullptr)},
                           {"aramEnd", found.chainEnds ? OrderedJson(spc.end) : OrderedJson(nullptr)},
                           {"loopIsOffset", spc.loop == LoopKind::Offset}};
        AddPlayFields(*found.play, row);
        samples.push_back(row);
    }
}

void PrintPlaybackLines(const SampleSet& set, const SongPlay& song) {
    for (const PlaybackEntry& found : PlaybackEntries(set, song)) {
        const SpcSample& spc = found.entry;
        std::printf("# played, not in the listed directory: entry %02X of the directory at $%04X, blocks at $%04X, "
                    "%u key-ons, %s\n",
                    static_cast<unsigned>(spc.index), static_cast<unsigned>(found.play->dir * 0x100),
                    static_cast<unsigned>(spc.start), static_cast<unsigned>(found.play->keyOns),
                    ShortEnvelope(found.play->envelope).c_str());
    }
}

OrderedJson SongSummaryJson(const SongPlay& song) {
    return {{"seconds", std::round(song.seconds * 1000.0) / 1000.0},
            {"keyOns", song.keyOns},
            {"entriesKeyed", song.entries.size()},
            {"truncated", song.run.truncated}};
}

std::string SongSummaryLine(const SongPlay& song) {
    char text[160];
    std::snprintf(text, sizeof text, "Song played for %.3f s: %u key-ons of %zu directory entries%s", song.seconds,
                  static_cast<unsigned>(song.keyOns), song.entries.size(),
                  song.run.truncated ? " (recorded until the event limit)" : "");
    return text;
}

std::string SongColumns(const SetSample& sample, const SongPlay& song) {
    const EntryPlay* play = sample.fromDirectory ? song.Of(sample.entry.index) : nullptr;
    char text[96];
    std::snprintf(text, sizeof text, "  %5u  %s", play ? static_cast<unsigned>(play->keyOns) : 0u,
                  play ? ShortEnvelope(play->envelope).c_str() : "-");
    return text;
}

std::string SongColumnHeadings() { return "   keys  envelope"; }
