// The sound CPU: an SPC700 core that runs one instruction at a time on a bus
// given as a template parameter, so that every memory access inlines. The
// bus provides Read(address), Write(address, value) and Idle(), each one
// CPU clock; the CPU makes exactly the accesses the chip makes, in order.
#pragma once

#include <cstdint>

#include "engine/sound/spc700_alu.h"

// The programmer-visible registers, as a snapshot stores them.
struct Spc700Registers {
    uint16_t pc = 0;
    uint8_t a = 0;
    uint8_t x = 0;
    uint8_t y = 0;
    uint8_t sp = 0;
    uint8_t psw = 0;
};

template <class Bus>
class Spc700 {
public:
    // The CPU works on `bus`, which must outlive it.
    explicit Spc700(Bus& bus) : bus_(bus) {}

    // Loads the registers; the CPU runs again if it had halted.
    void SetRegisters(const Spc700Registers& registers);
    // The registers as they stand between instructions.
    Spc700Registers Registers() const;
    // True once SLEEP or STOP ran: the CPU never runs again.
    bool Halted() const { return halted_; }
    // Runs one instruction (nothing once halted).
    void Step();

private:
    Bus& bus_;
    uint16_t pc_ = 0;
    uint8_t a_ = 0, x_ = 0, y_ = 0, sp_ = 0;
    Spc700Flags f_;
    bool halted_ = false;

    // Bus cycles.
    uint8_t Read(uint16_t address) { return bus_.Read(address); }
    void Write(uint16_t address, uint8_t value) { bus_.Write(address, value); }
    void Idle() { bus_.Idle(); }
    // The next program byte.
    uint8_t Fetch() { return Read(pc_++); }
    // The second cycle of a one-byte instruction: reads the next byte, keeps PC.
    void DummyFetch() { Read(pc_); }
    // Direct-page address of an offset (wraps inside the page).
    uint16_t Page(uint8_t offset) const { return static_cast<uint16_t>((f_.p ? 0x100 : 0) | offset); }
    // A fetched 16-bit absolute address.
    uint16_t FetchWord();
    // The stack.
    void Push(uint8_t value) { Write(static_cast<uint16_t>(0x100 | sp_--), value); }
    uint8_t Pop() { return Read(static_cast<uint16_t>(0x100 | ++sp_)); }
    // 16-bit reads from the direct page; the high byte's offset wraps in the page.
    uint16_t ReadPageWord(uint8_t offset);

    // Effective addresses of the memory operand forms (each makes the
    // accesses, idle cycles included, that come before the operand access).
    uint16_t AddrDp() { return Page(Fetch()); }
    uint16_t AddrDpX() { uint8_t o = Fetch(); Idle(); return Page(static_cast<uint8_t>(o + x_)); }
    uint16_t AddrDpY() { uint8_t o = Fetch(); Idle(); return Page(static_cast<uint8_t>(o + y_)); }
    uint16_t AddrAbs() { return FetchWord(); }
    uint16_t AddrAbsX() { uint16_t b = FetchWord(); Idle(); return static_cast<uint16_t>(b + x_); }
    uint16_t AddrAbsY() { uint16_t b = FetchWord(); Idle(); return static_cast<uint16_t>(b + y_); }
    uint16_t AddrIndX() { DummyFetch(); return Page(x_); }
    uint16_t AddrIndDpX();
    uint16_t AddrIndDpY();

    // Instruction groups (spc700_ops_*.h).
    void Alu(int op, uint8_t mode);
    void AluImmediateToDp(int op);
    void AluDpToDp(int op);
    void AluIndirectPair(int op);
    void ShiftMemory(int op, uint16_t address);
    void ShiftA(int op);
    void Branch(bool take);
    void BitBranch(uint8_t opcode);
    void SetClearBit(uint8_t opcode);
    void MemoryBitOp(uint8_t opcode);
    void TestSetClear(bool set);
    void CompareBranch(bool indexed);
    void DecrementBranchDp();
    void DecrementBranchY();
    void WordOp(uint8_t opcode);
    void Call(uint16_t target);
    void TableCall(int n);
    void Break();
    void Return(bool restoreFlags);
    void PushRegister(uint8_t value);
    uint8_t PopRegister();
    void StoreA(uint16_t address) { Read(address); Write(address, a_); }
    void StoreReg(uint16_t address, uint8_t value) { Read(address); Write(address, value); }
    void Multiply();
    void Divide();
    void DecimalAdjust(bool subtract);
    void Exchange();
    void Halt();
    // Two cycles, register-to-register: returns the value after setting N and Z.
    uint8_t Implied(uint8_t value) { DummyFetch(); f_.SetNZ(value); return value; }
    void Compare(uint8_t reg, uint8_t value) { f_.Compare(reg, value); }
};

#include "engine/sound/spc700_core.h"
#include "engine/sound/spc700_ops_alu.h"
#include "engine/sound/spc700_ops_bits.h"
#include "engine/sound/spc700_ops_flow.h"
#include "engine/sound/spc700_ops_word.h"
#include "engine/sound/spc700_dispatch.h"
