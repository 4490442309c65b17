#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/song/key_on_stats.h"
#include "engine/song/envelope_shape.h"

namespace {

// The reference key-on logs of the shared snapshots.
std::string KeyOnLog(const std::string& name) {
    return std::string(VOXTRAWL_SOURCE_DIR) + "/../shared/testdata/spc/reference/" + name + ".keyons.jsonl";
}

// One VoiceKeyOn per voice of each line; the clock from `sample` (clock / 32).
std::vector<VoiceKeyOn> ReadKeyOns(const std::string& path) {
    std::vector<VoiceKeyOn> keyOns;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        nlohmann::json j = nlohmann::json::parse(line);
        for (const auto& v : j["voices"]) {
            VoiceKeyOn k;
            k.clock = static_cast<uint64_t>(std::llround(j["sample"].get<double>() * 32));
            k.voice = v["v"];
            k.dir = j["dir"];
            k.srcn = v["srcn"];
            k.envelope = {v["adsr1"], v["adsr2"], v["gain"]};
            k.pitch = v["pitch"];
            k.volumeLeft = static_cast<int8_t>(v["voll"].get<int>());
            k.volumeRight = static_cast<int8_t>(v["volr"].get<int>());
            keyOns.push_back(k);
        }
    }
    return keyOns;
}

struct EntryCase {
    const char* song;
    int srcn, keyOns;
    double first;
    EnvelopeSetting envelope;  // GAIN alone when ADSR is off
    int uses, envelopes, low, high;
    double songCents;  // NAN: none
};

// Counted from the logs by a separate script; notes without a tuning
// (key 60 = pitch $1000).
const EntryCase kEntries[] = {
    {"SNESPulseSRC", 0, 16, 0.033871, {0, 0, 156}, 15, 2, 25, 25, NAN},
    {"SNESPulseSRC", 27, 15, 3.334562, {0, 0, 126}, 15, 1, 25, 25, NAN},
    {"ferris-nu", 2, 68, 0.369486, {255, 224, 0}, 68, 1, 28, 69, -0.458},
    {"ferris-nu", 7, 142, 13.138891, {255, 233, 0}, 142, 1, 43, 72, 0.118},
    {"lorom-template", 5, 1, 1.000145, {0, 0, 79}, 1, 1, 48, 48, NAN},
    {"smashit", 15, 272, 0.010719, {191, 32, 0}, 272, 1, 21, 79, -0.622},
    {"smashit", 14, 78, 0.010719, {143, 64, 0}, 78, 1, 40, 83, 0.662},
    {"smashit", 3, 31, 37.972922, {255, 224, 0}, 31, 1, 58, 64, -0.165},
};

TEST(KeyOnStatsTest, EntriesOfTheReferenceLogs) {
    if (!std::filesystem::exists(KeyOnLog("smashit")))
        GTEST_SKIP() << "no shared key-on logs at " << KeyOnLog("smashit");
    for (const EntryCase& c : kEntries) {
        SCOPED_TRACE(std::string(c.song) + " entry " + std::to_string(c.srcn));
        std::vector<EntryPlay> plays = GatherKeyOns(ReadKeyOns(KeyOnLog(c.song)));
        auto play = std::find_if(plays.begin(), plays.end(), [&](const EntryPlay& p) { return p.srcn == c.srcn; });
        ASSERT_NE(play, plays.end());
        EXPECT_EQ(play->dir, 2);
        EXPECT_EQ(play->keyOns, static_cast<uint32_t>(c.keyOns));
        EXPECT_NEAR(play->firstKeyOn, c.first, 2e-6);
        EXPECT_TRUE(SameEnvelope(play->envelope, c.envelope));
        EXPECT_EQ(play->envelopeUses, static_cast<uint32_t>(c.uses));
        EXPECT_EQ(play->envelopes, static_cast<uint32_t>(c.envelopes));
        std::optional<NoteRange> notes = NotesPlayed(*play, std::nullopt);
        ASSERT_TRUE(notes);
        EXPECT_EQ(notes->low, c.low);
        EXPECT_EQ(notes->high, c.high);
        std::optional<double> cents = SongCents(*play);
        EXPECT_EQ(cents.has_value(), !std::isnan(c.songCents));
        if (cents) {
            EXPECT_NEAR(*cents, c.songCents, 0.005);
        }
    }
}

// A tuning moves the notes; agreement wraps around the semitone.
TEST(KeyOnStatsTest, TuningMovesNotesAndAgreementWraps) {
    EntryPlay play;
    play.pitches = {0, 0x0800, 0x1000, 0x2000};
    EXPECT_EQ(NotesPlayed(play, 69.4)->low, 57);
    EXPECT_EQ(NotesPlayed(play, 69.4)->high, 81);
    EXPECT_FALSE(NotesPlayed(EntryPlay{}, 60.0));
    for (auto [loop, song, agrees] : {std::tuple{30.0, -30.0, true},
                                      {48.0, 49.0, true},
                                      {-40.0, -20.0, false},
                                      {10.0, 14.0, true},
                                      {10.0, 16.0, false}})
        EXPECT_EQ(TuningAgrees(loop, song), agrees) << loop << " " << song;
}

}  // namespace
