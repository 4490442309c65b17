// SPC snapshots made in the tests: a header, audio RAM with instruments
// and a sample directory, and the DSP registers.
#pragma once

#include <cstdint>

#include "tests/test_support.h"

// Encodes `blocks` BRR blocks of a decaying tone, as a sample converter
// simple converter would: filter 0, range chosen per block from its peak,
// the loop flag on every block when loop is set and the
// end flag on the last.
Bytes EncodeInstrument(unsigned blocks, bool loop, unsigned period = 32);

class SpcBuilder {
public:
    SpcBuilder();

    uint8_t* Aram() { return file.data() + 0x100; }
    uint8_t* Dsp() { return file.data() + 0x10100; }
    void SetDir(uint8_t page) { Dsp()[0x5D] = page; }
    // Points voice v at source number source and sets its pitch.
    void SetVoice(unsigned voice, uint8_t source, uint16_t pitch = 0x1000);
    // Copies bytes into audio RAM at address.
    void Put(uint32_t address, const Bytes& bytes);
    // Writes directory entry i of a directory at dir.
    void PutEntry(uint32_t dir, unsigned i, uint16_t start, uint16_t loop);

    Bytes file;
};
