#include "tests/spc_builder.h"

#include <cmath>
#include <cstring>

Bytes EncodeInstrument(unsigned blocks, bool loop, unsigned period) {
    Bytes out;
    for (unsigned b = 0; b < blocks; ++b) {
        int values[16];
        int peak = 0;
        for (int k = 0; k < 16; ++k) {
            double t = b * 16.0 + k;
            values[k] = static_cast<int>(12000 * std::exp(-t / 900.0) * std::sin(2 * 3.14159265 * t / period));
            peak = std::max(peak, std::abs(values[k]));
        }
        unsigned range = 0;
        while (range < 12 && (7 << range) < peak) ++range;
        uint8_t header = static_cast<uint8_t>(range << 4);
        if (loop) header |= 0x02;
        if (b + 1 == blocks) header |= 0x01;
        out.push_back(header);
        for (int k = 0; k < 16; k += 2) {
            auto nibble = [range](int value) {
                int n = value >> range;
                return static_cast<uint8_t>(std::min(7, std::max(-8, n)) & 15);
            };
            out.push_back(static_cast<uint8_t>(nibble(values[k]) << 4 | nibble(values[k + 1])));
        }
    }
    return out;
}

SpcBuilder::SpcBuilder() : file(0x10200, 0) {
    const char signature[] = "SNES-SPC700 Sound File Data v0.30";
    std::memcpy(file.data(), signature, sizeof signature - 1);
    file[0x21] = 26;
    file[0x22] = 26;
    file[0x23] = 27;  // no ID666 tag
}

void SpcBuilder::SetVoice(unsigned voice, uint8_t source, uint16_t pitch) {
    PutLe16(Dsp() + voice * 0x10 + 2, pitch);
    Dsp()[voice * 0x10 + 4] = source;
    Dsp()[0x4C] |= static_cast<uint8_t>(1u << voice);
}

void SpcBuilder::Put(uint32_t address, const Bytes& bytes) {
    for (size_t k = 0; k < bytes.size(); ++k) Aram()[(address + k) & 0xFFFF] = bytes[k];
}

void SpcBuilder::PutEntry(uint32_t dir, unsigned i, uint16_t start, uint16_t loop) {
    Bytes entry(4);
    PutLe16(entry.data(), start);
    PutLe16(entry.data() + 2, loop);
    Put(dir + 4 * i, entry);
}
