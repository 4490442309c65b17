// Branches, calls, returns and the stack (included by spc700.h).
#pragma once

template <class Bus>
void Spc700<Bus>::Branch(bool take) {
    int8_t offset = static_cast<int8_t>(Fetch());
    if (!take) return;
    Idle();
    Idle();
    pc_ = static_cast<uint16_t>(pc_ + offset);
}

template <class Bus>
void Spc700<Bus>::CompareBranch(bool indexed) {
    uint8_t value = Read(indexed ? AddrDpX() : AddrDp());
    Idle();
    Branch(a_ != value);
}

template <class Bus>
void Spc700<Bus>::DecrementBranchDp() {
    uint16_t address = AddrDp();
    uint8_t value = static_cast<uint8_t>(Read(address) - 1);
    Write(address, value);
    Branch(value != 0);
}

template <class Bus>
void Spc700<Bus>::DecrementBranchY() {
    DummyFetch();
    Idle();
    --y_;
    Branch(y_ != 0);
}

template <class Bus>
void Spc700<Bus>::Call(uint16_t target) {
    Push(static_cast<uint8_t>(pc_ >> 8));
    Push(static_cast<uint8_t>(pc_));
    Idle();
    pc_ = target;
}

template <class Bus>
void Spc700<Bus>::TableCall(int n) {
    DummyFetch();
    Idle();
    Call(pc_);
    uint16_t vector = static_cast<uint16_t>(0xFFDE - 2 * n);
    uint8_t low = Read(vector);
    pc_ = static_cast<uint16_t>(low | Read(static_cast<uint16_t>(vector + 1)) << 8);
}

template <class Bus>
void Spc700<Bus>::Break() {
    DummyFetch();
    Push(static_cast<uint8_t>(pc_ >> 8));
    Push(static_cast<uint8_t>(pc_));
    Push(f_.Pack());
    Idle();
    uint8_t low = Read(0xFFDE);
    pc_ = static_cast<uint16_t>(low | Read(0xFFDF) << 8);
    f_.b = true;
    f_.i = false;
}

template <class Bus>
void Spc700<Bus>::Return(bool restoreFlags) {
    DummyFetch();
    Idle();
    if (restoreFlags) f_.Unpack(Pop());
    uint8_t low = Pop();
    pc_ = static_cast<uint16_t>(low | Pop() << 8);
}

template <class Bus>
void Spc700<Bus>::PushRegister(uint8_t value) {
    DummyFetch();
    Push(value);
    Idle();
}

template <class Bus>
uint8_t Spc700<Bus>::PopRegister() {
    DummyFetch();
    Idle();
    return Pop();
}

template <class Bus>
void Spc700<Bus>::Halt() {
    // The halted chip goes on alternating a read of PC with an idle cycle;
    // the suite counts the first three pairs as the instruction's.
    for (int i = 0; i < 3; ++i) {
        DummyFetch();
        Idle();
    }
    halted_ = true;
}
