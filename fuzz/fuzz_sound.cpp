// The sound processor on arbitrary snapshots: whatever the program, the
// DSP registers and the RAM, a run of a few thousand frames ends on time
// (at most one instruction past each slice), writes the frames asked for,
// reports key-ons in order with non-zero KON values, and runs the same
// twice.
//
// Input: a whole snapshot (0x10180 bytes or more; the signature is put in),
// or a compact one: CPU registers (PC low, PC high, A, X, Y, PSW, SP), the
// 128 DSP registers, then audio RAM from $0000 (the rest zero).

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/sound/sound_processor.h"
#include "fuzz/fuzz_check.h"

namespace {

constexpr size_t kFrames = 3000;
constexpr size_t kSlice = 500;
constexpr size_t kLongestInstruction = 12;
constexpr size_t kCompactRegisters = 7;
constexpr size_t kCompactHeader = kCompactRegisters + 128;

// The snapshot the input describes.
void BuildSnapshot(const uint8_t* data, size_t size, SpcSnapshot& snapshot) {
    if (size >= 0x10180) {
        std::vector<uint8_t> file(data, data + size);
        std::memcpy(file.data(), "SNES-SPC700 Sound File Data", 27);
        FUZZ_CHECK(ReadSpcSnapshot(file.data(), file.size(), snapshot));
        return;
    }
    uint8_t head[kCompactHeader] = {};
    std::memcpy(head, data, size < kCompactHeader ? size : kCompactHeader);
    snapshot.cpu.pc = static_cast<uint16_t>(head[0] | head[1] << 8);
    snapshot.cpu.a = head[2];
    snapshot.cpu.x = head[3];
    snapshot.cpu.y = head[4];
    snapshot.cpu.psw = head[5];
    snapshot.cpu.sp = head[6];
    std::memcpy(snapshot.dsp.data(), head + kCompactRegisters, 128);
    if (size > kCompactHeader) std::memcpy(snapshot.ram.data(), data + kCompactHeader, size - kCompactHeader);
}

// Checks each key-on as it comes, and keeps a digest of them.
struct KeyOnCheck : KeyOnListener {
    uint64_t last = 0;
    uint64_t digest = 0;
    size_t count = 0;
    void OnKeyOn(const KeyOn& keyOn) override {
        FUZZ_CHECK(keyOn.kon != 0);
        FUZZ_CHECK(keyOn.clock >= last);
        last = keyOn.clock;
        char line[kKeyOnLineBytes];
        size_t length = FormatKeyOn(keyOn, line);
        FUZZ_CHECK(length > 0 && length < kKeyOnLineBytes && line[length - 1] == '\n');
        digest = digest * 1099511628211ull + keyOn.clock + keyOn.kon;
        ++count;
    }
};

// One run of the snapshot: every frame (mixed or not) and the key-ons.
struct Run {
    std::vector<int16_t> frames;
    KeyOnCheck keyOns;
    Spc700Registers end;
};

void Play(const SpcSnapshot& snapshot, bool mix, Run& run) {
    auto sound = std::make_unique<SoundProcessor>();
    sound->Load(snapshot);
    sound->SetKeyOnListener(&run.keyOns);
    std::vector<int16_t> slice(2 * (kSlice + kRunSlackFrames));
    for (size_t done = 0; done < kFrames; done += kSlice) {
        size_t written = sound->Run(kSlice, mix ? slice.data() : nullptr);
        FUZZ_CHECK(written <= kSlice + kRunSlackFrames);
        uint64_t end = static_cast<uint64_t>(done + kSlice) * kClocksPerFrame;
        FUZZ_CHECK(sound->Clock() >= end && sound->Clock() < end + kLongestInstruction);
        run.frames.insert(run.frames.end(), slice.begin(), slice.begin() + 2 * written);
    }
    FUZZ_CHECK(run.keyOns.last <= sound->Clock());
    if (mix) FUZZ_CHECK(run.frames.size() >= 2 * kFrames && run.frames.size() <= 2 * (kFrames + kRunSlackFrames));
    run.end = sound->CpuRegisters();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto snapshot = std::make_unique<SpcSnapshot>();
    BuildSnapshot(data, size, *snapshot);
    bool mix = size == 0 || (data[size - 1] & 1) == 0;
    Run first, second;
    Play(*snapshot, mix, first);
    Play(*snapshot, mix, second);
    FUZZ_CHECK(first.frames == second.frames);
    FUZZ_CHECK(first.keyOns.count == second.keyOns.count && first.keyOns.digest == second.keyOns.digest);
    FUZZ_CHECK(first.end.pc == second.end.pc && first.end.a == second.end.a && first.end.x == second.end.x &&
               first.end.y == second.end.y && first.end.sp == second.end.sp && first.end.psw == second.end.psw);
    return 0;
}
