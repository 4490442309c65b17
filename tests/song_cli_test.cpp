// What list and rip make of an SPC's song: the key-ons per entry against
// the reference logs, --play 0 adding nothing, --used-only, and the MIDI
// file with its SoundFont as FluidSynth plays them.
#include <fluidsynth.h>

#include <filesystem>
#include <fstream>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli_runner.h"
#include "tests/midi_reader.h"
#include "tests/spc_builder.h"

namespace {

using Json = nlohmann::json;

std::string Shared(const std::string& path) {
    return std::string(VOXTRAWL_SOURCE_DIR) + "/../shared/testdata/spc/" + path;
}

// Key-ons per directory entry (SRCN) in the first 60 s of the reference log.
std::map<int, int> ReferenceKeyOns(const std::string& name) {
    std::map<int, int> counts;
    std::ifstream in(Shared("reference/" + name + ".keyons.jsonl"));
    for (std::string line; std::getline(in, line);) {
        Json keyOn = Json::parse(line);
        for (const Json& v : keyOn["voices"]) ++counts[v["srcn"].get<int>()];
    }
    return counts;
}

// The listing without what the song adds.
Json WithoutSong(Json listing) {
    listing.erase("play");
    for (Json& row : listing["samples"]) {
        for (const char* key : {"keyOns", "firstKeyOn", "envelope", "envelopes", "notes"}) row.erase(key);
        if (row["tuning"].is_object()) row["tuning"].erase("songCents"), row["tuning"].erase("agrees");
    }
    return listing;
}

class SongCli : public CliRunTest {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(Shared("smashit.spc"))) GTEST_SKIP() << "no shared snapshots at " << Shared("");
        CliRunTest::SetUp();
    }
};

TEST_F(SongCli, ListsTheKeyOnsOfEachEntryAndNothingWithPlay0) {
    for (const char* name : {"SNESPulseSRC", "ferris-nu", "lorom-template", "smashit"}) {
        SCOPED_TRACE(name);
        CliResult played = Run({"list", Shared(std::string(name) + ".spc"), "--json", "--play", "60"});
        CliResult skipped = Run({"list", Shared(std::string(name) + ".spc"), "--json", "--play", "0"});
        ASSERT_EQ(played.status, 0) << played.err;
        Json listing = Json::parse(played.out);
        std::map<int, int> got;
        for (const Json& row : listing["samples"])
            if (row["keyOns"].get<int>() > 0) got[row["index"].get<int>()] = row["keyOns"];
        EXPECT_EQ(got, ReferenceKeyOns(name));
        EXPECT_EQ(WithoutSong(listing).dump(), Json::parse(skipped.out).dump());
    }
}

TEST_F(SongCli, UsedOnlyKeepsTheEntriesTheSongKeys) {
    CliResult r = Run({"rip", Shared("ferris-nu.spc"), "--used-only", "--play", "60", "--out", "used"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Entries(work + "/used"),
              (std::vector<std::string>{"00.wav", "01.wav", "02.wav", "03.wav", "04.wav", "05.wav", "06.wav", "07.wav",
                                        "08.wav", "09.wav", "0C.wav", "0D.wav"}));
    Put("game.sfc", Bytes(0x8000, 0));
    EXPECT_EQ(Run({"list", "game.sfc", "--play", "5"}).status, 2);
    EXPECT_EQ(Run({"rip", Shared("ferris-nu.spc"), "--used-only", "--play", "0", "--out", "none"}).status, 2);
    CliResult rom = Run({"rip", "game.sfc", "--format", "midi"});
    EXPECT_EQ(rom.status, 2);
    EXPECT_NE(rom.err.find("a MIDI file comes from playing an SPC snapshot's song"), std::string::npos) << rom.err;
    EXPECT_FALSE(std::filesystem::exists(work + "/game.mid"));
}

// A driver that sets DIR only once it runs (from RAM, as no known store
// does), then keys entry 0 of that directory: listed as found by playback.
TEST_F(SongCli, ListsEntriesOnlyTheRunFinds) {
    SpcBuilder spc;
    spc.Put(0x0200, {0x8F, 0x5D, 0xF2, 0xE4, 0x10, 0xC4, 0xF3, 0x8F, 0x4C, 0xF2, 0x8F, 0x01, 0xF3, 0xEF});
    spc.Put(0x0010, {0x30});
    spc.PutEntry(0x3000, 0, 0x3100, 0x3100);
    spc.Put(0x3100, EncodeInstrument(2, true));
    spc.SetVoice(0, 0);
    spc.Dsp()[0x05] = 0x8F;
    spc.Dsp()[0x6C] = 0x20;
    spc.file[0x25] = 0x00, spc.file[0x26] = 0x02;
    Put("late.spc", spc.file);
    CliResult r = Run({"list", "late.spc", "--json", "--play", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    Json row = Json::parse(r.out)["samples"].back();
    EXPECT_EQ(row["directorySource"], "playback");
    EXPECT_EQ(row["dir"], 0x3000);
    EXPECT_EQ(row["index"], 0);
    EXPECT_EQ(row["aramStart"], 0x3100);
    EXPECT_EQ(row["aramEnd"], 0x3109);
    EXPECT_EQ(row["aramLoop"], 0x3100);
    EXPECT_EQ(row["keyOns"], 1);
    EXPECT_EQ(row["envelope"]["mode"], "adsr");
}

// FluidSynth's player plays the pair to the end without a complaint.
void PlayThrough(const std::string& soundFont, const std::string& midi) {
    std::vector<std::string> logged;
    auto log = [](int level, const char* message, void* data) {
        static_cast<std::vector<std::string>*>(data)->push_back(std::to_string(level) + ": " + message);
    };
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN}) fluid_set_log_function(level, log, &logged);
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", 32000);
    fluid_synth_t* synth = new_fluid_synth(settings);
    fluid_player_t* player = new_fluid_player(synth);
    EXPECT_GE(fluid_synth_sfload(synth, soundFont.c_str(), 1), 0);
    EXPECT_EQ(fluid_player_add(player, midi.c_str()), FLUID_OK);
    fluid_player_play(player);
    std::vector<float> left(4096), right(4096);
    while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING)
        fluid_synth_write_float(synth, 4096, left.data(), 0, 1, right.data(), 0, 1);
    delete_fluid_player(player);
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN}) fluid_set_log_function(level, nullptr, nullptr);
    EXPECT_TRUE(logged.empty()) << logged.front();
}

// The note-ons read back are the log's key-ons, voice by voice and
// millisecond by millisecond (a tick is 1,024 CPU clocks).
TEST_F(SongCli, MidiAndSoundFontPlayTheSong) {
    CliResult r = Run({"rip", Shared("smashit.spc"), "--format", "midi", "--play", "20", "--out", "pair"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Entries(work + "/pair"), (std::vector<std::string>{"smashit.mid", "smashit.sf2"}));
    std::multiset<std::pair<uint32_t, int>> expected, got;
    std::ifstream in(Shared("reference/smashit.keyons.jsonl"));
    for (std::string line; std::getline(in, line);) {
        Json keyOn = Json::parse(line);
        uint64_t clock = std::llround(keyOn["sample"].get<double>() * 32);
        if (clock >= 20 * 1024000) continue;
        for (const Json& v : keyOn["voices"]) expected.insert({static_cast<uint32_t>((clock + 512) / 1024), v["v"]});
    }
    Bytes midi = ReadWholeFile(work + "/pair/smashit.mid");
    MidiReader reader(midi);
    for (const ReadEvent& e : reader.Read())
        if ((e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] > 0) got.insert({e.tick, e.bytes[0] & 0x0F});
    EXPECT_EQ(got, expected);
    EXPECT_NE(r.out.find(std::to_string(expected.size()) + " notes on 8 voice tracks"), std::string::npos) << r.out;
    PlayThrough(work + "/pair/smashit.sf2", work + "/pair/smashit.mid");
}

}  // namespace
