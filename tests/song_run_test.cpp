#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/song/song_run.h"
#include "tests/test_support.h"

namespace {

std::string Shared(const std::string& path) { return std::string(VOXTRAWL_SOURCE_DIR) + "/../shared/testdata/spc/" + path; }

// Each voice keyed in the reference log, as text: clock, voice, dir and registers.
std::vector<std::string> ReferenceKeyOns(const std::string& name) {
    std::vector<std::string> keyOns;
    std::ifstream in(Shared("reference/" + name + ".keyons.jsonl"));
    for (std::string line; std::getline(in, line);) {
        nlohmann::json j = nlohmann::json::parse(line);
        long long clock = std::llround(j["sample"].get<double>() * 32);
        for (const auto& v : j["voices"])
            keyOns.push_back(std::to_string(clock) + " v" + v["v"].dump() + " dir" + j["dir"].dump() + " " +
                             v["srcn"].dump() + " " + v["adsr1"].dump() + " " + v["adsr2"].dump() + " " +
                             v["gain"].dump() + " " + v["pitch"].dump() + " " + v["voll"].dump() + " " +
                             v["volr"].dump());
    }
    return keyOns;
}

// The recorder's key-ons over 60 s of each shared snapshot are the
// reference log's, voice by voice.
TEST(SongRunTest, KeyOnsEqualTheReferenceLogs) {
    if (!std::filesystem::exists(Shared("smashit.spc"))) GTEST_SKIP() << "no shared snapshots at " << Shared("");
    for (const char* name : {"SNESPulseSRC", "ferris-nu", "lorom-template", "smashit"}) {
        Bytes file = ReadWholeFile(Shared(std::string(name) + ".spc"));
        auto snapshot = std::make_unique<SpcSnapshot>();
        ASSERT_TRUE(ReadSpcSnapshot(file.data(), file.size(), *snapshot)) << name;
        SongRun run = PlaySong(*snapshot, 60);
        EXPECT_EQ(run.endClock, 60u * 1024000);
        std::vector<std::string> got;
        for (const VoiceKeyOn& k : KeyOnsOf(run.events))
            got.push_back(std::to_string(k.clock) + " v" + std::to_string(k.voice) + " dir" + std::to_string(k.dir) +
                          " " + std::to_string(k.srcn) + " " + std::to_string(k.envelope.adsr1) + " " +
                          std::to_string(k.envelope.adsr2) + " " + std::to_string(k.envelope.gain) + " " +
                          std::to_string(k.pitch) + " " + std::to_string(k.volumeLeft) + " " +
                          std::to_string(k.volumeRight));
        EXPECT_EQ(got, ReferenceKeyOns(name)) << name;
    }
}

}  // namespace
