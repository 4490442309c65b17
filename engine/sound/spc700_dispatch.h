// The opcode table: one case per opcode (included by spc700.h).
#pragma once

template <class Bus>
void Spc700<Bus>::Step() {
    if (halted_) return;
    uint8_t opcode = Fetch();
    switch (opcode) {
        // The A-register group: the high nibble's upper bits pick the
        // operation, its low bit and the low nibble the operand form.
#define VOXTRAWL_ALU_ROW(row, op)                                              \
    case row | 0x04: Alu<op, kDp>(); break;                                     \
    case row | 0x05: Alu<op, kAbs>(); break;                                    \
    case row | 0x06: Alu<op, kIndX>(); break;                                   \
    case row | 0x07: Alu<op, kIndDpX>(); break;                                 \
    case row | 0x08: Alu<op, kImm>(); break;                                    \
    case row | 0x09: AluDpToDp<op>(); break;                                    \
    case row | 0x14: Alu<op, kDpX>(); break;                                    \
    case row | 0x15: Alu<op, kAbsX>(); break;                                   \
    case row | 0x16: Alu<op, kAbsY>(); break;                                   \
    case row | 0x17: Alu<op, kIndDpY>(); break;                                 \
    case row | 0x18: AluImmediateToDp<op>(); break;                             \
    case row | 0x19: AluIndirectPair<op>(); break;
        VOXTRAWL_ALU_ROW(0x00, 0)
        VOXTRAWL_ALU_ROW(0x20, 1)
        VOXTRAWL_ALU_ROW(0x40, 2)
        VOXTRAWL_ALU_ROW(0x60, 3)
        VOXTRAWL_ALU_ROW(0x80, 4)
        VOXTRAWL_ALU_ROW(0xA0, 5)
#undef VOXTRAWL_ALU_ROW

        // Shifts, increments and decrements of memory and A.
#define VOXTRAWL_SHIFT_ROW(row, op)                                            \
    case row | 0x0B: ShiftMemory<op>(AddrDp()); break;                        \
    case row | 0x0C: ShiftMemory<op>(AddrAbs()); break;                       \
    case row | 0x1B: ShiftMemory<op>(AddrDpX()); break;
        VOXTRAWL_SHIFT_ROW(0x00, 0)
        VOXTRAWL_SHIFT_ROW(0x20, 1)
        VOXTRAWL_SHIFT_ROW(0x40, 2)
        VOXTRAWL_SHIFT_ROW(0x60, 3)
        VOXTRAWL_SHIFT_ROW(0x80, 4)
        VOXTRAWL_SHIFT_ROW(0xA0, 5)
#undef VOXTRAWL_SHIFT_ROW
        case 0x1C: ShiftA<0>(); break;
        case 0x3C: ShiftA<1>(); break;
        case 0x5C: ShiftA<2>(); break;
        case 0x7C: ShiftA<3>(); break;
        case 0x9C: ShiftA<4>(); break;
        case 0xBC: ShiftA<5>(); break;
        case 0x1D: x_ = Implied(static_cast<uint8_t>(x_ - 1)); break;
        case 0x3D: x_ = Implied(static_cast<uint8_t>(x_ + 1)); break;
        case 0xDC: y_ = Implied(static_cast<uint8_t>(y_ - 1)); break;
        case 0xFC: y_ = Implied(static_cast<uint8_t>(y_ + 1)); break;

        // Single bits.
        case 0x02: SetClearBit<0x02>(); break;
        case 0x22: SetClearBit<0x22>(); break;
        case 0x42: SetClearBit<0x42>(); break;
        case 0x62: SetClearBit<0x62>(); break;
        case 0x82: SetClearBit<0x82>(); break;
        case 0xA2: SetClearBit<0xA2>(); break;
        case 0xC2: SetClearBit<0xC2>(); break;
        case 0xE2: SetClearBit<0xE2>(); break;
        case 0x12: SetClearBit<0x12>(); break;
        case 0x32: SetClearBit<0x32>(); break;
        case 0x52: SetClearBit<0x52>(); break;
        case 0x72: SetClearBit<0x72>(); break;
        case 0x92: SetClearBit<0x92>(); break;
        case 0xB2: SetClearBit<0xB2>(); break;
        case 0xD2: SetClearBit<0xD2>(); break;
        case 0xF2: SetClearBit<0xF2>(); break;
        case 0x03: BitBranch<0x03>(); break;
        case 0x23: BitBranch<0x23>(); break;
        case 0x43: BitBranch<0x43>(); break;
        case 0x63: BitBranch<0x63>(); break;
        case 0x83: BitBranch<0x83>(); break;
        case 0xA3: BitBranch<0xA3>(); break;
        case 0xC3: BitBranch<0xC3>(); break;
        case 0xE3: BitBranch<0xE3>(); break;
        case 0x13: BitBranch<0x13>(); break;
        case 0x33: BitBranch<0x33>(); break;
        case 0x53: BitBranch<0x53>(); break;
        case 0x73: BitBranch<0x73>(); break;
        case 0x93: BitBranch<0x93>(); break;
        case 0xB3: BitBranch<0xB3>(); break;
        case 0xD3: BitBranch<0xD3>(); break;
        case 0xF3: BitBranch<0xF3>(); break;
        case 0x0A: MemoryBitOp<0x0A>(); break;
        case 0x2A: MemoryBitOp<0x2A>(); break;
        case 0x4A: MemoryBitOp<0x4A>(); break;
        case 0x6A: MemoryBitOp<0x6A>(); break;
        case 0x8A: MemoryBitOp<0x8A>(); break;
        case 0xAA: MemoryBitOp<0xAA>(); break;
        case 0xCA: MemoryBitOp<0xCA>(); break;
        case 0xEA: MemoryBitOp<0xEA>(); break;
        case 0x0E: TestSetClear(true); break;
        case 0x4E: TestSetClear(false); break;

        // 16-bit operations.
        case 0x1A: WordOp<0x1A>(); break;
        case 0x3A: WordOp<0x3A>(); break;
        case 0x5A: WordOp<0x5A>(); break;
        case 0x7A: WordOp<0x7A>(); break;
        case 0x9A: WordOp<0x9A>(); break;
        case 0xBA: WordOp<0xBA>(); break;
        case 0xDA: WordOp<0xDA>(); break;

        // Branches and jumps.
        case 0x10: Branch(!f_.n); break;
        case 0x30: Branch(f_.n); break;
        case 0x50: Branch(!f_.v); break;
        case 0x70: Branch(f_.v); break;
        case 0x90: Branch(!f_.c); break;
        case 0xB0: Branch(f_.c); break;
        case 0xD0: Branch(!f_.z); break;
        case 0xF0: Branch(f_.z); break;
        case 0x2F: Branch(true); break;
        case 0x2E: CompareBranch(false); break;
        case 0xDE: CompareBranch(true); break;
        case 0x6E: DecrementBranchDp(); break;
        case 0xFE: DecrementBranchY(); break;
        case 0x5F: pc_ = FetchWord(); break;
        case 0x1F: {
            uint16_t pointer = AddrAbsX();
            uint8_t low = Read(pointer);
            pc_ = static_cast<uint16_t>(low | Read(static_cast<uint16_t>(pointer + 1)) << 8);
            break;
        }
        case 0x3F: {
            uint16_t target = FetchWord();
            Idle();
            Call(target);
            Idle();
            break;
        }
        case 0x4F: {
            uint8_t offset = Fetch();
            Idle();
            Call(static_cast<uint16_t>(0xFF00 | offset));
            break;
        }
        case 0x01: case 0x11: case 0x21: case 0x31: case 0x41: case 0x51: case 0x61: case 0x71:
        case 0x81: case 0x91: case 0xA1: case 0xB1: case 0xC1: case 0xD1: case 0xE1: case 0xF1:
            TableCall(opcode >> 4);
            break;
        case 0x0F: Break(); break;
        case 0x6F: Return(false); break;
        case 0x7F: Return(true); break;

        // The stack.
        case 0x0D: PushRegister(f_.Pack()); break;
        case 0x2D: PushRegister(a_); break;
        case 0x4D: PushRegister(x_); break;
        case 0x6D: PushRegister(y_); break;
        case 0x8E: f_.Unpack(PopRegister()); break;
        case 0xAE: a_ = PopRegister(); break;
        case 0xCE: x_ = PopRegister(); break;
        case 0xEE: y_ = PopRegister(); break;

        // Loads.
        case 0xE4: f_.SetNZ(a_ = Read(AddrDp())); break;
        case 0xE5: f_.SetNZ(a_ = Read(AddrAbs())); break;
        case 0xE6: f_.SetNZ(a_ = Read(AddrIndX())); break;
        case 0xE7: f_.SetNZ(a_ = Read(AddrIndDpX())); break;
        case 0xE8: f_.SetNZ(a_ = Fetch()); break;
        case 0xF4: f_.SetNZ(a_ = Read(AddrDpX())); break;
        case 0xF5: f_.SetNZ(a_ = Read(AddrAbsX())); break;
        case 0xF6: f_.SetNZ(a_ = Read(AddrAbsY())); break;
        case 0xF7: f_.SetNZ(a_ = Read(AddrIndDpY())); break;
        case 0xBF: {  // MOV A,(X)+
            DummyFetch();
            a_ = Read(Page(x_));
            Idle();
            ++x_;
            f_.SetNZ(a_);
            break;
        }
        case 0xCD: f_.SetNZ(x_ = Fetch()); break;
        case 0xF8: f_.SetNZ(x_ = Read(AddrDp())); break;
        case 0xF9: f_.SetNZ(x_ = Read(AddrDpY())); break;
        case 0xE9: f_.SetNZ(x_ = Read(AddrAbs())); break;
        case 0x8D: f_.SetNZ(y_ = Fetch()); break;
        case 0xEB: f_.SetNZ(y_ = Read(AddrDp())); break;
        case 0xFB: f_.SetNZ(y_ = Read(AddrDpX())); break;
        case 0xEC: f_.SetNZ(y_ = Read(AddrAbs())); break;

        // Stores (each reads its target first, as the chip does).
        case 0xC4: StoreReg(AddrDp(), a_); break;
        case 0xC5: StoreReg(AddrAbs(), a_); break;
        case 0xC6: StoreReg(AddrIndX(), a_); break;
        case 0xC7: StoreReg(AddrIndDpX(), a_); break;
        case 0xD4: StoreReg(AddrDpX(), a_); break;
        case 0xD5: StoreReg(AddrAbsX(), a_); break;
        case 0xD6: StoreReg(AddrAbsY(), a_); break;
        case 0xD7: {  // the store waits after the pointer, the loads before it
            uint16_t base = ReadPageWord(Fetch());
            Idle();
            StoreReg(static_cast<uint16_t>(base + y_), a_);
            break;
        }
        case 0xD8: StoreReg(AddrDp(), x_); break;
        case 0xD9: StoreReg(AddrDpY(), x_); break;
        case 0xC9: StoreReg(AddrAbs(), x_); break;
        case 0xCB: StoreReg(AddrDp(), y_); break;
        case 0xDB: StoreReg(AddrDpX(), y_); break;
        case 0xCC: StoreReg(AddrAbs(), y_); break;
        case 0xAF: {  // MOV (X)+,A
            DummyFetch();
            Idle();
            Write(Page(x_), a_);
            ++x_;
            break;
        }
        case 0x8F: {
            uint8_t value = Fetch();
            StoreReg(AddrDp(), value);
            break;
        }
        case 0xFA: {
            uint8_t value = Read(AddrDp());
            Write(AddrDp(), value);
            break;
        }

        // Register transfers and compares.
        case 0x5D: x_ = Implied(a_); break;
        case 0x7D: a_ = Implied(x_); break;
        case 0xDD: a_ = Implied(y_); break;
        case 0xFD: y_ = Implied(a_); break;
        case 0x9D: x_ = Implied(sp_); break;
        case 0xBD: DummyFetch(); sp_ = x_; break;
        case 0xC8: Compare(x_, Fetch()); break;
        case 0x3E: Compare(x_, Read(AddrDp())); break;
        case 0x1E: Compare(x_, Read(AddrAbs())); break;
        case 0xAD: Compare(y_, Fetch()); break;
        case 0x7E: Compare(y_, Read(AddrDp())); break;
        case 0x5E: Compare(y_, Read(AddrAbs())); break;

        // Flags.
        case 0x20: DummyFetch(); f_.p = false; break;
        case 0x40: DummyFetch(); f_.p = true; break;
        case 0x60: DummyFetch(); f_.c = false; break;
        case 0x80: DummyFetch(); f_.c = true; break;
        case 0xE0: DummyFetch(); f_.v = false; f_.h = false; break;
        case 0xED: DummyFetch(); Idle(); f_.c = !f_.c; break;
        case 0xA0: DummyFetch(); Idle(); f_.i = true; break;
        case 0xC0: DummyFetch(); Idle(); f_.i = false; break;

        // Arithmetic on A and YA.
        case 0xCF: Multiply(); break;
        case 0x9E: Divide(); break;
        case 0xDF: DecimalAdjust(false); break;
        case 0xBE: DecimalAdjust(true); break;
        case 0x9F: Exchange(); break;

        case 0x00: DummyFetch(); break;
        default: Halt(); break;  // 0xEF SLEEP, 0xFF STOP
    }
}
