// voxtrawl-cli render as a user runs it: the WAVE file's name, length and
// header, the key-on log, standard output, and the refusals.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli_runner.h"
#include "tests/spc_builder.h"

namespace fs = std::filesystem;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

uint32_t Le32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }

// A snapshot whose program keys voice 0 on (the write ends at clock 10),
// then sleeps; with a tag of `length` seconds and `fade` ms when given.
Bytes Song(const char* length = nullptr, const char* fade = nullptr) {
    SpcBuilder spc;
    spc.Put(0x0200, {0x8F, 0x4C, 0xF2, 0x8F, 0x01, 0xF3, 0xEF});
    spc.file[0x25] = 0x00;
    spc.file[0x26] = 0x02;
    spc.file[0x2B] = 0xEF;
    spc.Dsp()[0x6C] = 0x20;
    if (length) {
        spc.file[0x23] = 26;
        std::memcpy(&spc.file[0xA9], length, std::strlen(length));
        std::memcpy(&spc.file[0xAC], fade, std::strlen(fade));
    }
    return spc.file;
}

class RenderCli : public CliRunTest {};

TEST_F(RenderCli, WritesTheSongBesideItWithItsTaggedLength) {
    Put("song.spc", Song("1", "500"));
    CliResult r = Run({"render", "song.spc"});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes wav = ReadWholeFile(work + "/song.wav");
    ASSERT_EQ(wav.size(), 44u + (32000 + 16000) * 4);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(Le32(wav, 22) & 0xFFFF, 2u);  // channels
    EXPECT_EQ(Le32(wav, 24), 32000u);
    EXPECT_EQ(Le32(wav, 34) & 0xFFFF, 16u);
    EXPECT_EQ(Le32(wav, 40), (32000u + 16000) * 4);
    EXPECT_EQ(Entries(work), (std::vector<std::string>{"song.spc", "song.wav"}));
}

TEST_F(RenderCli, KeyOnsAndStandardOutput) {
    Put("song.spc", Song());
    CliResult r = Run({"render", "song.spc", "-o", "-", "--seconds", "0.25", "--key-ons", "k.jsonl"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.size(), 44u + 8000 * 4);
    EXPECT_EQ(ReadText(work + "/k.jsonl"),
              "{\"t\":0.000010,\"sample\":0.312,\"kon\":1,\"dir\":0,\"voices\":[{\"v\":0,\"srcn\":0,\"adsr1\":0,"
              "\"adsr2\":0,\"gain\":0,\"pitch\":0,\"voll\":0,\"volr\":0}]}\n");
}

TEST_F(RenderCli, RefusesWhatItCannotOrMustNotDo) {
    Put("song.spc", Song());
    Put("tone.brr", Bytes(2 + 9, 0x03));
    Put("game.sfc", Bytes(0x8000, 0));
    struct Case { std::vector<std::string> args; int status; const char* says; };
    const Case cases[] = {
        {{"render", "tone.brr"}, 2, "only snapshots can be played"},
        {{"render", "game.sfc", "-o", "x.wav"}, 2, "only snapshots can be played"},
        {{"render", "song.spc", "-o", "song.spc"}, 2, "would destroy it"},
        {{"render", "song.spc", "--key-ons", "song.spc"}, 2, "would destroy it"},
        {{"render", "song.spc", "-o", "a.wav", "--key-ons", "a.wav"}, 2, "would both go to"},
        {{"render", "song.spc", "--seconds", "3600.5"}, 2, "from 0 to 3600"},
        {{"render", "song.spc", "--seconds", "1e3"}, 2, "from 0 to 3600"},
        {{"render", "missing.spc"}, 1, "'missing.spc': No such file or directory"},
        {{"render", "song.spc", "-o", "no/such/x.wav"}, 1, "cannot write 'no/such/x.wav': No such file"},
        {{"render", "song.spc", "-o", "/dev/full", "--seconds", "1"}, 1, "cannot write '/dev/full': No space left"},
        {{"render", "song.spc", "-o", "a.wav", "--key-ons", "/dev/full"}, 1, "'/dev/full': No space left"},
    };
    for (const Case& c : cases) {
        CliResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[1] << " " << r.err;
        EXPECT_TRUE(Contains(r.err, c.says)) << r.err;
        EXPECT_EQ(Entries(work), (std::vector<std::string>{"game.sfc", "song.spc", "tone.brr"})) << r.err;
    }
}

}  // namespace
