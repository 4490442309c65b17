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
    // Runs instructions until the bus's Clock() reaches `end` or the CPU halts.
    void RunUntil(uint64_t end) {
        while (!halted_ && bus_.Clock() < end) Step();
    }

private:
    Bus& bus_;
    uint16_t pc_ = 0;
    uint8_t a_ = 0, x_ = 0, y_ = 0, sp_ = 0;
    Spc700Flags f_;
    bool halted_ = false;

    // One read cycle.
    uint8_t Read(uint16_t address) { return bus_.Read(address); }
    // One write cycle.
    void Write(uint16_t address, uint8_t value) { bus_.Write(address, value); }
    // One cycle without an access.
    void Idle() { bus_.Idle(); }
    // The next program byte.
    uint8_t Fetch() { return Read(pc_++); }
    // The second cycle of a one-byte instruction: reads the next byte, keeps PC.
    void DummyFetch() { Read(pc_); }
    // Direct-page address of an offset (wraps inside the page).
    uint16_t Page(uint8_t offset) const { return static_cast<uint16_t>((f_.p ? 0x100 : 0) | offset); }
    // A fetched 16-bit absolute address.
    uint16_t FetchWord();
    // The stack in page 1.
    void Push(uint8_t value) { Write(static_cast<uint16_t>(0x100 | sp_--), value); }
    // Pops a byte.
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

    // Instruction groups (spc700_ops_*.h), templated on what the opcode
    // fixes so that each case compiles to straight code. `Op` 0-5: OR AND
    // EOR CMP ADC SBC; for shifts 0-5: ASL ROL LSR ROR DEC INC.
    // A op= operand, in one of the forms of Spc700Mode.
    template <int Op, int Mode>
    void Alu();
    // memory op= value, the last steps of the three forms below.
    template <int Op>
    void AluToMemory(uint16_t address, uint8_t value);
    // dp op= #imm.
    template <int Op>
    void AluImmediateToDp();
    // dp op= dp.
    template <int Op>
    void AluDpToDp();
    // (X) op= (Y).
    template <int Op>
    void AluIndirectPair();
    // Shift, increment or decrement of a memory byte.
    template <int Op>
    void ShiftMemory(uint16_t address);
    // The same on A.
    template <int Op>
    void ShiftA();
    // Reads the offset and jumps when `take`.
    void Branch(bool take);
    // BBS/BBC dp.bit,rel.
    template <uint8_t Opcode>
    void BitBranch();
    // SET1/CLR1 dp.bit.
    template <uint8_t Opcode>
    void SetClearBit();
    // OR1/AND1/EOR1/MOV1/NOT1 on a 13-bit address's bit.
    template <uint8_t Opcode>
    void MemoryBitOp();
    // TSET1/TCLR1 !abs.
    void TestSetClear(bool set);
    // CBNE dp,rel or dp+X,rel.
    void CompareBranch(bool indexed);
    // DBNZ dp,rel.
    void DecrementBranchDp();
    // DBNZ Y,rel.
    void DecrementBranchY();
    // DECW/INCW/CMPW/ADDW/SUBW/MOVW.
    template <uint8_t Opcode>
    void WordOp();
    // Pushes PC and jumps (the part CALL, PCALL and TCALL share).
    void Call(uint16_t target);
    // TCALL n.
    void TableCall(int n);
    // BRK.
    void Break();
    // RET, or RETI with restoreFlags.
    void Return(bool restoreFlags);
    // PUSH reg.
    void PushRegister(uint8_t value);
    // POP reg.
    uint8_t PopRegister();
    // A store: the chip reads the target first.
    void StoreReg(uint16_t address, uint8_t value) { Read(address); Write(address, value); }
    // MUL YA.
    void Multiply();
    // DIV YA,X.
    void Divide();
    // DAA, or DAS with subtract.
    void DecimalAdjust(bool subtract);
    // XCN.
    void Exchange();
    // SLEEP and STOP.
    void Halt();
    // Two cycles, register-to-register: returns the value after setting N and Z.
    uint8_t Implied(uint8_t value) { DummyFetch(); f_.SetNZ(value); return value; }
    // CMP reg,value.
    void Compare(uint8_t reg, uint8_t value) { f_.Compare(reg, value); }
};

#include "engine/sound/spc700_core.h"
#include "engine/sound/spc700_ops_alu.h"
#include "engine/sound/spc700_ops_bits.h"
#include "engine/sound/spc700_ops_flow.h"
#include "engine/sound/spc700_ops_word.h"
#include "engine/sound/spc700_dispatch.h"
