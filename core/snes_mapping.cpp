#include "core/snes_mapping.h"

#include <cstdio>

#include "core/little_endian.h"

namespace {

constexpr uint32_t kLoRomHeader = 0x7FC0;
constexpr uint32_t kHiRomHeader = 0xFFC0;
constexpr uint32_t kHeaderBytes = 0x40;
constexpr uint32_t kTitleBytes = 21;
// Both mappings reach 4 MiB of ROM through banks $80-$FF.
constexpr uint32_t kMappedBytes = 0x400000;

bool MapModeFits(uint8_t mode, RomMapping mapping) {
    // Bit 4 is the speed; ExHiROM (0x25) maps its first 4 MiB as HiROM does.
    uint8_t kind = mode & ~0x10;
    if (mapping == RomMapping::LoRom) return mode == 0x20 || mode == 0x30;
    return kind == 0x21 || kind == 0x25;
}

// Homebrew often leaves the checksum at zero, so no single sign decides:
// each one that holds adds to the score.
int HeaderScore(const uint8_t* header, RomMapping mapping) {
    int score = 0;
    if (MapModeFits(header[0x15], mapping)) score += 2;
    uint16_t complement = GetLe16(header + 0x1C);
    uint16_t checksum = GetLe16(header + 0x1E);
    if ((complement ^ checksum) == 0xFFFF) score += (checksum != 0 && checksum != 0xFFFF) ? 3 : 1;
    if (GetLe16(header + 0x3C) >= 0x8000) score += 1;
    bool printable = true;
    for (uint32_t k = 0; k < kTitleBytes; ++k) printable = printable && header[k] >= 0x20 && header[k] < 0x7F;
    if (printable) score += 1;
    return score;
}

}  // namespace

RomLayout DetectRomLayout(const uint8_t* rom, uint32_t size) {
    RomLayout layout;
    if (size % 1024 == kCopierHeaderBytes) layout.copierHeader = kCopierHeaderBytes;
    const uint8_t* proper = rom + layout.copierHeader;
    uint32_t properSize = size - layout.copierHeader;
    int loScore = properSize >= kLoRomHeader + kHeaderBytes ? HeaderScore(proper + kLoRomHeader, RomMapping::LoRom) : 0;
    int hiScore = properSize >= kHiRomHeader + kHeaderBytes ? HeaderScore(proper + kHiRomHeader, RomMapping::HiRom) : 0;
    // A lone sign (a vector, a printable title) happens by chance.
    constexpr int kEnough = 3;
    if (loScore >= hiScore && loScore >= kEnough) layout.mapping = RomMapping::LoRom;
    else if (hiScore > loScore && hiScore >= kEnough) layout.mapping = RomMapping::HiRom;
    return layout;
}

bool SnesAddress(const RomLayout& layout, uint32_t fileOffset, uint32_t& busAddress) {
    if (layout.mapping == RomMapping::None || fileOffset < layout.copierHeader) return false;
    uint32_t o = fileOffset - layout.copierHeader;
    if (o >= kMappedBytes) return false;
    if (layout.mapping == RomMapping::LoRom) busAddress = (0x80 | (o >> 15)) << 16 | 0x8000 | (o & 0x7FFF);
    else busAddress = (0xC0 | (o >> 16)) << 16 | (o & 0xFFFF);
    return true;
}

std::string FormatSnesAddress(uint32_t busAddress) {
    char text[16];
    std::snprintf(text, sizeof text, "$%02X:%04X", static_cast<unsigned>(busAddress >> 16 & 0xFF),
                  static_cast<unsigned>(busAddress & 0xFFFF));
    return text;
}

const char* MappingName(RomMapping mapping) {
    switch (mapping) {
    case RomMapping::LoRom: return "lorom";
    case RomMapping::HiRom: return "hirom";
    default: return "none";
    }
}
