// Single-bit instructions: SET1/CLR1, BBS/BBC, the mem.bit carry group,
// TSET1/TCLR1 (included by spc700.h).
#pragma once

template <class Bus>
template <uint8_t Opcode>
void Spc700<Bus>::SetClearBit() {
    uint8_t mask = static_cast<uint8_t>(1 << (Opcode >> 5));
    uint16_t address = AddrDp();
    uint8_t value = Read(address);
    Write(address, (Opcode & 0x10) ? value & ~mask : value | mask);
}

template <class Bus>
template <uint8_t Opcode>
void Spc700<Bus>::BitBranch() {
    uint8_t mask = static_cast<uint8_t>(1 << (Opcode >> 5));
    uint8_t value = Read(AddrDp());
    Idle();
    Branch(static_cast<bool>(value & mask) == !(Opcode & 0x10));
}

template <class Bus>
template <uint8_t Opcode>
void Spc700<Bus>::MemoryBitOp() {
    uint16_t word = FetchWord();
    uint16_t address = word & 0x1FFF;
    uint8_t mask = static_cast<uint8_t>(1 << (word >> 13));
    uint8_t value = Read(address);
    bool bit = value & mask;
    switch (Opcode) {
        case 0x0A: f_.c = f_.c || bit; Idle(); break;
        case 0x2A: f_.c = f_.c || !bit; Idle(); break;
        case 0x4A: f_.c = f_.c && bit; break;
        case 0x6A: f_.c = f_.c && !bit; break;
        case 0x8A: f_.c = f_.c != bit; Idle(); break;
        case 0xAA: f_.c = bit; break;
        case 0xCA:
            Idle();
            Write(address, f_.c ? value | mask : value & ~mask);
            break;
        default: Write(address, value ^ mask); break;  // NOT1
    }
}

template <class Bus>
void Spc700<Bus>::TestSetClear(bool set) {
    uint16_t address = AddrAbs();
    uint8_t value = Read(address);
    f_.SetNZ(static_cast<uint8_t>(a_ - value));
    Read(address);
    Write(address, set ? value | a_ : value & ~a_);
}
