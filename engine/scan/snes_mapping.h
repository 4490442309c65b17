// Where a ROM file offset sits in the SNES address space: the copier
// header, LoROM, HiROM or ExHiROM, and the "$80:8A5F" notation.
#pragma once

#include <cstdint>
#include <string>

enum class RomMapping { None, LoRom, HiRom, ExHiRom };

struct RomLayout {
    RomMapping mapping = RomMapping::None;
    uint32_t copierHeader = 0;  // 0 or 512 bytes before the ROM proper
};

constexpr uint32_t kCopierHeaderBytes = 512;

// The copier header from the file size, and the mapping whose internal
// header shows the most signs of being real (None when neither does).
RomLayout DetectRomLayout(const uint8_t* rom, uint32_t size);

// The bus address of a file offset as bank << 16 | address; false when
// the offset lies in the copier header or outside what the mapping reaches.
bool SnesAddress(const RomLayout& layout, uint32_t fileOffset, uint32_t& busAddress);

// "$80:8A5F" for bus address 0x808A5F.
std::string FormatSnesAddress(uint32_t busAddress);

// "lorom", "hirom", "exhirom", or "none".
const char* MappingName(RomMapping mapping);
