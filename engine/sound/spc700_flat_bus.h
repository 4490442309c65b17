// A plain 64 KiB bus for the CPU alone (no registers, no boot ROM), which
// counts its cycles and can keep a trace of them for the single-step suite.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class Spc700FlatBus {
public:
    // One bus cycle as the suite lists it.
    struct Cycle {
        int address;  // -1 for an idle cycle
        int value;    // -1 for an idle cycle
        char kind;    // 'r', 'w' or 'i'
    };
    static constexpr size_t kTraceLength = 32;

    std::array<uint8_t, 0x10000> ram{};
    uint64_t cycles = 0;
    std::array<Cycle, kTraceLength> trace{};
    size_t traced = 0;

    // One read cycle.
    uint8_t Read(uint16_t address) {
        Note({address, ram[address], 'r'});
        return ram[address];
    }
    // One write cycle.
    void Write(uint16_t address, uint8_t value) {
        ram[address] = value;
        Note({address, value, 'w'});
    }
    // One cycle without a bus access.
    void Idle() { Note({-1, -1, 'i'}); }

private:
    void Note(const Cycle& cycle) {
        if (traced < kTraceLength) trace[traced++] = cycle;
        ++cycles;
    }
};
