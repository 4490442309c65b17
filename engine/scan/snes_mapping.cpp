#include "engine/scan/snes_mapping.h"

#include <cstdio>

#include "engine/files/little_endian.h"

namespace {

constexpr uint32_t kLoRomHeader = 0x7FC0;
constexpr uint32_t kHiRomHeader = 0xFFC0;
// ExHiROM's reset bank $00 reads the second 4 MiB, where its header lies.
constexpr uint32_t kExHiRomHeader = 0x40FFC0;
constexpr uint32_t kHeaderBytes = 0x40;
constexpr uint32_t kTitleBytes = 21;
// LoROM and HiROM reach 4 MiB of ROM through banks $80-$FF; ExHiROM
// adds almost 4 MiB more through banks $40-$7D and $3E-$3F.
constexpr uint32_t kMappedBytes = 0x400000;
constexpr uint32_t kExMappedBytes = 0x800000;

constexpr uint8_t kExHiRomMode = 0x25;

// The map mode without its speed bit.
uint8_t MapKind(uint8_t mode) { return mode & ~0x10; }

bool MapModeFits(uint8_t mode, RomMapping mapping) {
    if (mapping == RomMapping::LoRom) return MapKind(mode) == 0x20;
    if (mapping == RomMapping::ExHiRom) return MapKind(mode) == kExHiRomMode;
    // ExHiROM images often copy their header here too.
    return MapKind(mode) == 0x21 || MapKind(mode) == kExHiRomMode;
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
    auto score = [&](uint32_t at, RomMapping mapping) {
        return properSize >= at + kHeaderBytes ? HeaderScore(proper + at, mapping) : 0;
    };
    int loScore = score(kLoRomHeader, RomMapping::LoRom);
    int hiScore = score(kHiRomHeader, RomMapping::HiRom);
    int exScore = score(kExHiRomHeader, RomMapping::ExHiRom);
    // A lone sign (a vector, a printable title) happens by chance.
    constexpr int kEnough = 3;
    if (loScore >= hiScore && loScore >= exScore && loScore >= kEnough) layout.mapping = RomMapping::LoRom;
    else if (exScore >= hiScore && exScore >= kEnough) layout.mapping = RomMapping::ExHiRom;
    else if (hiScore >= kEnough) layout.mapping = RomMapping::HiRom;
    // A header copy in the first 4 MiB that names ExHiROM, on an image that
    // reaches past them.
    if (layout.mapping == RomMapping::HiRom && properSize > kMappedBytes &&
        MapKind(proper[kHiRomHeader + 0x15]) == kExHiRomMode)
        layout.mapping = RomMapping::ExHiRom;
    return layout;
}

bool SnesAddress(const RomLayout& layout, uint32_t fileOffset, uint32_t& busAddress) {
    if (layout.mapping == RomMapping::None || fileOffset < layout.copierHeader) return false;
    uint32_t o = fileOffset - layout.copierHeader;
    if (o < kMappedBytes) {
        if (layout.mapping == RomMapping::LoRom) busAddress = (0x80 | (o >> 15)) << 16 | 0x8000 | (o & 0x7FFF);
        else busAddress = (0xC0 | (o >> 16)) << 16 | (o & 0xFFFF);
        return true;
    }
    if (layout.mapping != RomMapping::ExHiRom || o >= kExMappedBytes) return false;
    uint32_t bank = (o - kMappedBytes) >> 16;
    // Banks $7E-$7F are work RAM: their ROM shows only in the upper halves
    // of banks $3E-$3F.
    if (bank < 0x3E) busAddress = (0x40 | bank) << 16 | (o & 0xFFFF);
    else if ((o & 0xFFFF) >= 0x8000) busAddress = bank << 16 | (o & 0xFFFF);
    else return false;
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
    case RomMapping::ExHiRom: return "exhirom";
    default: return "none";
    }
}
