// OR/AND/EOR/CMP/ADC/SBC in all their forms, and the shifts (included by spc700.h).
#pragma once

// Operand forms of the A-register group, as the opcode's low nibble and row parity give them.
enum Spc700Mode : uint8_t { kDp, kAbs, kIndX, kIndDpX, kDpX, kAbsX, kAbsY, kIndDpY, kImm };

template <class Bus>
template <int Op, int Mode>
void Spc700<Bus>::Alu() {
    uint8_t value;
    switch (Mode) {
        case kDp: value = Read(AddrDp()); break;
        case kAbs: value = Read(AddrAbs()); break;
        case kIndX: value = Read(AddrIndX()); break;
        case kIndDpX: value = Read(AddrIndDpX()); break;
        case kDpX: value = Read(AddrDpX()); break;
        case kAbsX: value = Read(AddrAbsX()); break;
        case kAbsY: value = Read(AddrAbsY()); break;
        case kIndDpY: value = Read(AddrIndDpY()); break;
        default: value = Fetch(); break;
    }
    a_ = f_.Apply(Op, a_, value);
}

template <class Bus>
template <int Op>
void Spc700<Bus>::AluToMemory(uint16_t address, uint8_t value) {
    uint8_t result = f_.Apply(Op, Read(address), value);
    if (Op == 3) Idle();  // CMP reads but does not write back
    else Write(address, result);
}

template <class Bus>
template <int Op>
void Spc700<Bus>::AluImmediateToDp() {
    uint8_t value = Fetch();
    uint16_t address = AddrDp();
    AluToMemory<Op>(address, value);
}

template <class Bus>
template <int Op>
void Spc700<Bus>::AluDpToDp() {
    uint8_t value = Read(AddrDp());
    uint16_t address = AddrDp();
    AluToMemory<Op>(address, value);
}

template <class Bus>
template <int Op>
void Spc700<Bus>::AluIndirectPair() {
    DummyFetch();
    uint8_t value = Read(Page(y_));
    uint16_t address = Page(x_);
    AluToMemory<Op>(address, value);
}

template <class Bus>
template <int Op>
void Spc700<Bus>::ShiftMemory(uint16_t address) {
    uint8_t value = Read(address);
    Write(address, f_.Shift(Op, value));
}

template <class Bus>
template <int Op>
void Spc700<Bus>::ShiftA() {
    DummyFetch();
    a_ = f_.Shift(Op, a_);
}

template <class Bus>
void Spc700<Bus>::Multiply() {
    DummyFetch();
    for (int i = 0; i < 7; ++i) Idle();
    unsigned product = static_cast<unsigned>(y_) * a_;
    a_ = static_cast<uint8_t>(product);
    y_ = static_cast<uint8_t>(product >> 8);
    f_.SetNZ(y_);
}

template <class Bus>
void Spc700<Bus>::Divide() {
    DummyFetch();
    for (int i = 0; i < 10; ++i) Idle();
    Spc700Divide(a_, y_, x_, f_);
}

template <class Bus>
void Spc700<Bus>::DecimalAdjust(bool subtract) {
    DummyFetch();
    Idle();
    a_ = Spc700DecimalAdjust(a_, subtract, f_);
}

template <class Bus>
void Spc700<Bus>::Exchange() {
    DummyFetch();
    Idle();
    Idle();
    Idle();
    a_ = static_cast<uint8_t>(a_ >> 4 | a_ << 4);
    f_.SetNZ(a_);
}
