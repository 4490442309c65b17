// Registers and addressing of the SPC700 core (included by spc700.h).
#pragma once

template <class Bus>
void Spc700<Bus>::SetRegisters(const Spc700Registers& r) {
    pc_ = r.pc;
    a_ = r.a;
    x_ = r.x;
    y_ = r.y;
    sp_ = r.sp;
    f_.Unpack(r.psw);
    halted_ = false;
}

template <class Bus>
Spc700Registers Spc700<Bus>::Registers() const {
    Spc700Registers r;
    r.pc = pc_;
    r.a = a_;
    r.x = x_;
    r.y = y_;
    r.sp = sp_;
    r.psw = f_.Pack();
    return r;
}

template <class Bus>
uint16_t Spc700<Bus>::FetchWord() {
    uint8_t low = Fetch();
    return static_cast<uint16_t>(low | Fetch() << 8);
}

template <class Bus>
uint16_t Spc700<Bus>::ReadPageWord(uint8_t offset) {
    uint8_t low = Read(Page(offset));
    return static_cast<uint16_t>(low | Read(Page(static_cast<uint8_t>(offset + 1))) << 8);
}

template <class Bus>
uint16_t Spc700<Bus>::AddrIndDpX() {
    uint8_t offset = Fetch();
    Idle();
    return ReadPageWord(static_cast<uint8_t>(offset + x_));
}

template <class Bus>
uint16_t Spc700<Bus>::AddrIndDpY() {
    uint8_t offset = Fetch();
    Idle();
    uint16_t base = ReadPageWord(offset);
    return static_cast<uint16_t>(base + y_);
}
