// The sound processor against the reference player: each shared snapshot's
// first 10 s equal its reference render frame for frame, and its first 60 s
// of key-ons equal the reference log line for line.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/sound/sound_processor.h"
#include "tests/shared_testdata.h"

namespace {

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

// The samples of a WAVE file's data chunk.
std::vector<int16_t> WaveSamples(const std::vector<uint8_t>& wave) {
    for (size_t at = 12; at + 8 <= wave.size();) {
        uint32_t size = wave[at + 4] | wave[at + 5] << 8 | wave[at + 6] << 16 | static_cast<uint32_t>(wave[at + 7]) << 24;
        if (std::memcmp(&wave[at], "data", 4) == 0) {
            std::vector<int16_t> samples(std::min<size_t>(size, wave.size() - at - 8) / 2);
            for (size_t i = 0; i < samples.size(); ++i)
                samples[i] = static_cast<int16_t>(wave[at + 8 + 2 * i] | wave[at + 9 + 2 * i] << 8);
            return samples;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

struct LineLog : KeyOnListener {
    std::vector<std::string> lines;
    void OnKeyOn(const KeyOn& keyOn) override {
        char line[kKeyOnLineBytes];
        size_t length = FormatKeyOn(keyOn, line);
        lines.emplace_back(line, length - 1);
    }
};

class SoundReference : public testing::TestWithParam<const char*> {};

TEST_P(SoundReference, RenderAndKeyOnsMatch) {
    std::filesystem::path folder = SharedTestData("spc");
    std::string name = GetParam();
    if (!std::filesystem::exists(folder / (name + ".spc"))) GTEST_SKIP() << "no shared snapshots at " << folder;
    std::vector<uint8_t> file = ReadBytes(folder / (name + ".spc"));
    auto snapshot = std::make_unique<SpcSnapshot>();
    ASSERT_TRUE(ReadSpcSnapshot(file.data(), file.size(), *snapshot));
    auto sound = std::make_unique<SoundProcessor>();
    sound->Load(*snapshot);
    LineLog log;
    sound->SetKeyOnListener(&log);

    constexpr size_t kSlice = 4000;  // an eighth of a second
    std::vector<int16_t> slice(2 * (kSlice + kRunSlackFrames)), render;
    for (size_t frame = 0; frame < 60 * kFramesPerSecond; frame += kSlice) {
        bool mixing = render.size() < 2 * 10 * kFramesPerSecond;
        size_t written = sound->Run(kSlice, mixing ? slice.data() : nullptr);
        render.insert(render.end(), slice.begin(), slice.begin() + 2 * written);
    }
    std::vector<int16_t> reference = WaveSamples(ReadBytes(folder / "reference" / (name + ".render-10s.wav")));
    ASSERT_EQ(reference.size(), 2 * 10 * kFramesPerSecond);
    render.resize(std::max(render.size(), reference.size()));
    auto differ = std::mismatch(reference.begin(), reference.end(), render.begin());
    EXPECT_TRUE(differ.first == reference.end())
        << "first different frame " << (differ.first - reference.begin()) / 2;

    std::vector<std::string> keyOns = ReadLines(folder / "reference" / (name + ".keyons.jsonl"));
    ASSERT_FALSE(keyOns.empty());
    for (size_t i = 0; i < std::max(keyOns.size(), log.lines.size()); ++i) {
        ASSERT_LT(i, log.lines.size()) << "missing from line " << i + 1 << ": " << keyOns[i];
        ASSERT_LT(i, keyOns.size()) << "extra line " << i + 1 << ": " << log.lines[i];
        ASSERT_EQ(log.lines[i], keyOns[i]) << "line " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Snapshots, SoundReference,
                         testing::Values("SNESPulseSRC", "ferris-nu", "lorom-template", "smashit"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
