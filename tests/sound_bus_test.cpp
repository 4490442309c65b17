// The console bus, snapshot loading and play length on hand-made cases the
// shared snapshots do not reach: small programs store what they read in
// RAM, then SLEEP.
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "engine/sound/play_length.h"
#include "engine/sound/sound_processor.h"

namespace {

constexpr uint16_t kProgram = 0x0200;

struct Rig : KeyOnListener, DspObserver {
    std::unique_ptr<SpcSnapshot> snapshot = std::make_unique<SpcSnapshot>();
    std::unique_ptr<SoundProcessor> sound = std::make_unique<SoundProcessor>();
    std::vector<KeyOn> keyOns;
    std::vector<std::array<uint64_t, 3>> dspWrites;  // clock, address, value

    explicit Rig(std::vector<uint8_t> program) {
        program.push_back(0xEF);  // SLEEP
        std::memcpy(&snapshot->ram[kProgram], program.data(), program.size());
        snapshot->cpu.pc = kProgram;
        snapshot->cpu.sp = 0xEF;
        snapshot->dsp[0x6C] = 0x20;  // echo writes off
    }
    void OnKeyOn(const KeyOn& keyOn) override { keyOns.push_back(keyOn); }
    void OnDspWrite(uint64_t clock, uint8_t address, uint8_t value) override {
        dspWrites.push_back({clock, address, value});
    }
    void OnVoiceEnd(uint64_t, uint8_t, bool) override {}
    void Play(size_t frames = 64) {
        sound->Load(*snapshot);
        sound->SetKeyOnListener(this);
        sound->SetDspObserver(this);
        sound->Run(frames, nullptr);
    }
    uint8_t Ram(uint16_t address) const { return sound->Ram()[address]; }
};

// MOV A,address (absolute) then MOV $10+slot,A.
void ReadInto(std::vector<uint8_t>& program, uint16_t address, uint8_t slot) {
    program.insert(program.end(), {0xE5, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8), 0xC4,
                                   static_cast<uint8_t>(0x10 + slot)});
}
// MOV dp,#value.
void Store(std::vector<uint8_t>& program, uint8_t dp, uint8_t value) {
    program.insert(program.end(), {0x8F, value, dp});
}

TEST(SoundBus, RegistersReadAsTheChipsDo) {
    std::vector<uint8_t> p;
    struct Read { uint16_t address; uint8_t expected; };
    // TEST, CONTROL, targets read 0; ports and $F8 keep the snapshot's bytes;
    // the timer output's low 4 bits; $FFC0 is RAM while the ROM is off.
    const Read before[] = {{0xF0, 0}, {0xF1, 0}, {0xFA, 0}, {0xF4, 0x5A}, {0xF6, 0x6B}, {0xF8, 0x77},
                           {0xFD, 0x07}, {0xFD, 0}, {0xFFC0, 0x33}};
    // Clearing ports 0-1 keeps 2-3; with the ROM mapped its area reads 0 but for the reset vector $FFC0.
    const Read after[] = {{0xF4, 0}, {0xF5, 0}, {0xF6, 0x6B}, {0xFFC0, 0}, {0xFFFD, 0}, {0xFFFE, 0xFF}, {0xFFFF, 0xC0}};
    uint8_t slot = 0;
    for (const Read& r : before) ReadInto(p, r.address, slot++);
    Store(p, 0xF1, 0x90);
    for (const Read& r : after) ReadInto(p, r.address, slot++);
    Rig rig(p);
    rig.snapshot->ram[0xF4] = 0x5A;
    rig.snapshot->ram[0xF6] = 0x6B;
    rig.snapshot->ram[0xF8] = 0x77;
    rig.snapshot->ram[0xFD] = 0xF7;
    rig.snapshot->ram[0xFFC0] = 0x33;
    rig.Play();
    slot = 0;
    for (const Read& r : before) EXPECT_EQ(rig.Ram(0x10 + slot++), r.expected) << std::hex << r.address;
    for (const Read& r : after) EXPECT_EQ(rig.Ram(0x10 + slot++), r.expected) << std::hex << r.address << " mapped";
    EXPECT_EQ(rig.Ram(0xF1), 0x90);  // the write landed in RAM too
    EXPECT_EQ(rig.Ram(0xFFC0), 0x33);
    EXPECT_TRUE(rig.sound->CpuHalted());
    EXPECT_EQ(rig.sound->CpuRegisters().pc, kProgram + p.size() + 1);
}

TEST(SoundBus, DspAccessKeyOnsAndEndx) {
    std::vector<uint8_t> p;
    Store(p, 0xF2, 0x4C);
    Store(p, 0xF3, 0x03);  // KON ends at clock 10: reported
    Store(p, 0xF3, 0x00);  // zero: not a key-on
    Store(p, 0xF2, 0xCC);
    Store(p, 0xF3, 0x01);  // $F2 >= $80: ignored, so not a key-on
    ReadInto(p, 0xF3, 0);  // reads KON ($CC & $7F): 0
    ReadInto(p, 0xF2, 1);  // the address as written
    Store(p, 0xF2, 0x7C);
    Store(p, 0xF3, 0x55);  // any write clears ENDX
    ReadInto(p, 0xF3, 2);
    Rig rig(p);
    uint8_t* dsp = rig.snapshot->dsp.data();
    dsp[0x5D] = 0x12;
    const uint8_t voice1[8] = {0x80, 0x7F, 0x34, 0x52, 0x09, 0x8F, 0xE0, 0x40};  // pitch $1234 keeps 14 bits
    std::memcpy(dsp + 0x10, voice1, 8);
    rig.Play(2000);
    ASSERT_EQ(rig.keyOns.size(), 1u);
    const KeyOn& k = rig.keyOns[0];
    EXPECT_EQ(k.clock, 10u);
    EXPECT_EQ(k.kon, 3);
    EXPECT_EQ(k.dir, 0x12);
    const KeyOnVoice& v = k.voices[1];
    EXPECT_EQ(v.volL, -128);
    EXPECT_EQ(v.volR, 127);
    EXPECT_EQ(v.pitch, 0x1234);
    EXPECT_EQ(v.srcn, 9);
    EXPECT_EQ(v.adsr1, 0x8F);
    EXPECT_EQ(v.adsr2, 0xE0);
    EXPECT_EQ(v.gain, 0x40);
    // The observer sees every write the DSP takes, at the key-on's clock for KON.
    const std::vector<std::array<uint64_t, 3>> writes = {{10, 0x4C, 3}, {15, 0x4C, 0}, {51, 0x7C, 0x55}};
    EXPECT_EQ(rig.dspWrites, writes);
    EXPECT_EQ(rig.Ram(0x10), 0);
    EXPECT_EQ(rig.Ram(0x11), 0xCC);
    EXPECT_EQ(rig.Ram(0x12), 0);
    char line[kKeyOnLineBytes];
    FormatKeyOn(k, line);
    EXPECT_STREQ(line,
                 "{\"t\":0.000010,\"sample\":0.312,\"kon\":3,\"dir\":18,\"voices\":[{\"v\":0,\"srcn\":0,\"adsr1\":0,"
                 "\"adsr2\":0,\"gain\":0,\"pitch\":0,\"voll\":0,\"volr\":0},{\"v\":1,\"srcn\":9,\"adsr1\":143,"
                 "\"adsr2\":224,\"gain\":64,\"pitch\":4660,\"voll\":-128,\"volr\":127}]}\n");
}

TEST(SoundTimer, CountsToTargetsAsDocumented) {
    struct Case { uint32_t period; uint8_t target; uint64_t clock; uint8_t expected; };
    const Case cases[] = {
        {128, 1, 127, 0}, {128, 1, 128, 1}, {128, 1, 128 * 15, 15}, {128, 1, 128 * 17, 1},  // 4-bit output
        {16, 0, 16 * 255, 0}, {16, 0, 16 * 256, 1}, {16, 0, 16 * 512 + 15, 2},            // 0 means 256
        {128, 3, 128 * 7, 2}, {16, 200, 16 * 200, 1},
    };
    for (const Case& c : cases) {
        SoundTimer timer(c.period);
        timer.Load(c.target, 0, true);
        EXPECT_EQ(timer.ReadOutput(c.clock), c.expected) << c.period << " " << int(c.target) << " " << c.clock;
        EXPECT_EQ(timer.ReadOutput(c.clock), 0);  // reading cleared it
    }
    SoundTimer stopped(16);
    stopped.Load(4, 9, false);
    EXPECT_EQ(stopped.ReadOutput(16 * 100), 9);  // a stopped timer keeps its output
    SoundTimer timer(16);
    timer.Load(4, 9, false);
    timer.SetEnabled(true, 16 * 2);            // enabling clears output and count
    EXPECT_EQ(timer.ReadOutput(16 * 5), 0);
    EXPECT_EQ(timer.ReadOutput(16 * 6), 1);
    timer.SetTarget(2, 16 * 9);                // count 3 passed the new target: it wraps first
    EXPECT_EQ(timer.ReadOutput(16 * (9 + 254)), 0);
    EXPECT_EQ(timer.ReadOutput(16 * (9 + 255)), 1);
}

TEST(SoundSnapshot, EchoRegionIsFilledWhenEchoWritesAreOn) {
    struct Case { uint8_t flg, esa, edl; uint32_t from, to; };
    const Case cases[] = {{0x00, 0x40, 2, 0x4000, 0x5000}, {0x20, 0x40, 2, 0, 0}, {0x00, 0x40, 0, 0, 0},
                          {0x00, 0xF8, 15, 0xF800, 0x10000}};
    for (const Case& c : cases) {
        Rig rig({});
        rig.snapshot->dsp[0x6C] = c.flg;
        rig.snapshot->dsp[0x6D] = c.esa;
        rig.snapshot->dsp[0x7D] = c.edl;
        rig.sound->Load(*rig.snapshot);
        for (uint32_t a = 0x300; a < 0x10000; a += 0x80)
            ASSERT_EQ(rig.Ram(static_cast<uint16_t>(a)), a >= c.from && a < c.to ? 0xFF : 0) << std::hex << a;
    }
}

TEST(SoundSnapshot, LengthAndFadeFromEitherTagForm) {
    std::vector<uint8_t> file(0x10200, 0);
    std::memcpy(file.data(), "SNES-SPC700 Sound File Data v0.30", 33);
    file[0x23] = 26;
    std::memcpy(&file[0xA9], "75\0" "2500\0", 8);
    SpcSnapshot s;
    ASSERT_TRUE(ReadSpcSnapshot(file.data(), file.size(), s));
    EXPECT_EQ(s.lengthSeconds, 75u);
    EXPECT_EQ(s.fadeMilliseconds, 2500u);
    const uint8_t binary[] = {200, 1, 0, 0x10, 0x27, 0, 0, 'A'};  // 456 s, 10000 ms, then the artist
    std::memcpy(&file[0xA9], binary, sizeof binary);
    ASSERT_TRUE(ReadSpcSnapshot(file.data(), file.size(), s));
    EXPECT_EQ(s.lengthSeconds, 456u);
    EXPECT_EQ(s.fadeMilliseconds, 10000u);
    file[0x23] = 27;  // no tag
    ASSERT_TRUE(ReadSpcSnapshot(file.data(), file.size(), s));
    PlayLength length = TaggedPlayLength(s);
    EXPECT_EQ(length.frames, 180u * 32000);
    EXPECT_EQ(length.fadeFrames, 0u);
    EXPECT_FALSE(ReadSpcSnapshot(file.data(), 0x1017F, s));  // the DSP registers cut short
    EXPECT_TRUE(ReadSpcSnapshot(file.data(), 0x10180, s));   // the extra RAM may be missing
    s.lengthSeconds = 1;
    s.fadeMilliseconds = 1000;
    length = TaggedPlayLength(s);
    int16_t frames[6] = {1000, -1000, 1000, -1000, 1000, -1000};
    ApplyFade(frames, 3, 32000 - 1, length);  // before the fade, at its start and one frame into it
    EXPECT_EQ(frames[0], 1000);
    EXPECT_EQ(frames[3], -1000);
    EXPECT_EQ(frames[5], -999);
    int16_t last[2] = {32767, -32768};
    ApplyFade(last, 1, 64000 - 2, length);
    EXPECT_EQ(last[0], 2);  // 2/32000 of full scale
    EXPECT_EQ(last[1], -2);
}

}  // namespace
