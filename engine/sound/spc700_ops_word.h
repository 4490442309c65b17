// The 16-bit instructions on YA and direct-page words (included by spc700.h).
#pragma once

template <class Bus>
template <uint8_t Opcode>
void Spc700<Bus>::WordOp() {
    uint8_t offset = Fetch();
    uint16_t low = Page(offset);
    uint16_t high = Page(static_cast<uint8_t>(offset + 1));
    switch (Opcode) {
        case 0x1A:
        case 0x3A: {  // DECW, INCW
            uint8_t lo = Read(low);
            int step = Opcode == 0x3A ? 1 : -1;
            Write(low, static_cast<uint8_t>(lo + step));
            uint16_t word = static_cast<uint16_t>((Read(high) << 8 | lo) + step);
            Write(high, static_cast<uint8_t>(word >> 8));
            f_.SetNZ16(word);
            break;
        }
        case 0x5A: {  // CMPW
            uint8_t lo = Read(low);
            uint16_t word = static_cast<uint16_t>(Read(high) << 8 | lo);
            uint16_t ya = static_cast<uint16_t>(y_ << 8 | a_);
            f_.c = ya >= word;
            f_.SetNZ16(static_cast<uint16_t>(ya - word));
            break;
        }
        case 0x7A:
        case 0x9A: {  // ADDW, SUBW: the high byte sets V, H and C
            uint8_t lo = Read(low);
            Idle();
            uint8_t hi = Read(high);
            if (Opcode == 0x7A) {
                f_.c = false;
                a_ = f_.Add(a_, lo);
                y_ = f_.Add(y_, hi);
            } else {
                f_.c = true;
                a_ = f_.Subtract(a_, lo);
                y_ = f_.Subtract(y_, hi);
            }
            f_.SetNZ16(static_cast<uint16_t>(y_ << 8 | a_));
            break;
        }
        case 0xBA: {  // MOVW YA,dp
            a_ = Read(low);
            Idle();
            y_ = Read(high);
            f_.SetNZ16(static_cast<uint16_t>(y_ << 8 | a_));
            break;
        }
        default:  // MOVW dp,YA
            Read(low);
            Write(low, a_);
            Write(high, y_);
            break;
    }
}
