#include <cstdint>
#include <cstring>

#include "engine/scan/snes_mapping.h"
#include "tests/test_support.h"

namespace {

// A ROM of size bytes with an internal header at headerAt (ROM offset,
// after any copier header): a title, the map mode, and optionally a set
// checksum pair and reset vector.
Bytes MakeRom(uint32_t size, uint32_t copier, uint32_t headerAt, uint8_t mode, bool checksum, bool vector) {
    Bytes rom(copier + size, 0xFF);
    uint8_t* h = rom.data() + copier + headerAt;
    std::memcpy(h, "HOMEBREW TEST        ", 21);
    h[0x15] = mode;
    uint16_t sum = checksum ? 0x1234 : 0;
    uint16_t complement = checksum ? static_cast<uint16_t>(~sum) : 0;
    PutLe16(h + 0x1C, complement);
    PutLe16(h + 0x1E, sum);
    h[0x3C] = 0x00;
    h[0x3D] = vector ? 0x80 : 0x10;
    return rom;
}

RomLayout Detect(const Bytes& rom) { return DetectRomLayout(rom.data(), static_cast<uint32_t>(rom.size())); }

TEST(SnesMappingTest, DetectsTheMappingFromSeveralSigns) {
    struct Case {
        const char* what;
        Bytes rom;
        RomMapping mapping;
        uint32_t copier;
    } cases[] = {
        {"LoROM with checksum", MakeRom(0x40000, 0, 0x7FC0, 0x20, true, true), RomMapping::LoRom, 0},
        {"LoROM homebrew, checksum zero", MakeRom(0x40000, 0, 0x7FC0, 0x30, false, true), RomMapping::LoRom, 0},
        {"HiROM with checksum", MakeRom(0x40000, 0, 0xFFC0, 0x21, true, true), RomMapping::HiRom, 0},
        {"HiROM homebrew, fast", MakeRom(0x40000, 0, 0xFFC0, 0x31, false, true), RomMapping::HiRom, 0},
        {"ExHiROM header within 4 MiB", MakeRom(0x40000, 0, 0xFFC0, 0x25, true, true), RomMapping::HiRom, 0},
        {"ExHiROM header in the upper 4 MiB", MakeRom(0x600000, 0, 0x40FFC0, 0x35, false, true),
         RomMapping::ExHiRom, 0},
        {"ExHiROM header copy on a 6 MiB image", MakeRom(0x600000, 512, 0xFFC0, 0x25, true, true),
         RomMapping::ExHiRom, 512},
        {"HiROM header on a 6 MiB image", MakeRom(0x600000, 0, 0xFFC0, 0x21, true, true), RomMapping::HiRom, 0},
        {"LoROM behind a copier header", MakeRom(0x40000, 512, 0x7FC0, 0x20, true, true), RomMapping::LoRom, 512},
        {"HiROM behind a copier header", MakeRom(0x40000, 512, 0xFFC0, 0x21, false, true), RomMapping::HiRom, 512},
        {"a wrong map mode alone", MakeRom(0x40000, 0, 0x7FC0, 0x21, false, true), RomMapping::None, 0},
        {"too small for a header", Bytes(0x4000, 0x20), RomMapping::None, 0},
        {"no header at all", Bytes(0x40000, 0xFF), RomMapping::None, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RomLayout layout = Detect(c.rom);
        EXPECT_EQ(layout.mapping, c.mapping);
        EXPECT_EQ(layout.copierHeader, c.copier);
    }
}

TEST(SnesMappingTest, DemoRomIsLoRom) {
    Bytes demo = ReadWholeFile(VOXTRAWL_SOURCE_DIR "/assets/demo.sfc");
    EXPECT_EQ(Detect(demo).mapping, RomMapping::LoRom);
}

TEST(SnesMappingTest, AddressesOfFileOffsets) {
    struct Case {
        RomLayout layout;
        uint32_t offset;
        const char* expected;  // nullptr: no address
    } cases[] = {
        {{RomMapping::LoRom, 0}, 0x000000, "$80:8000"},
        {{RomMapping::LoRom, 0}, 0x00A5F, "$80:8A5F"},
        {{RomMapping::LoRom, 0}, 0x08000, "$81:8000"},
        {{RomMapping::LoRom, 0}, 0x3FFFFF, "$FF:FFFF"},
        {{RomMapping::LoRom, 0}, 0x400000, nullptr},
        {{RomMapping::LoRom, 512}, 0x00200, "$80:8000"},
        {{RomMapping::LoRom, 512}, 0x001FF, nullptr},
        {{RomMapping::HiRom, 0}, 0x000000, "$C0:0000"},
        {{RomMapping::HiRom, 0}, 0x012345, "$C1:2345"},
        {{RomMapping::HiRom, 512}, 0x012545, "$C1:2345"},
        {{RomMapping::HiRom, 0}, 0x3FFFFF, "$FF:FFFF"},
        {{RomMapping::HiRom, 0}, 0x400000, nullptr},
        {{RomMapping::ExHiRom, 0}, 0x012345, "$C1:2345"},
        {{RomMapping::ExHiRom, 0}, 0x400000, "$40:0000"},
        {{RomMapping::ExHiRom, 512}, 0x512545, "$51:2345"},
        {{RomMapping::ExHiRom, 0}, 0x7DFFFF, "$7D:FFFF"},
        {{RomMapping::ExHiRom, 0}, 0x7E7FFF, nullptr},
        {{RomMapping::ExHiRom, 0}, 0x7E8000, "$3E:8000"},
        {{RomMapping::ExHiRom, 0}, 0x7FFFFF, "$3F:FFFF"},
        {{RomMapping::ExHiRom, 0}, 0x800000, nullptr},
        {{RomMapping::None, 0}, 0x000100, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << MappingName(c.layout.mapping) << " offset " << c.offset);
        uint32_t bus = 0;
        bool mapped = SnesAddress(c.layout, c.offset, bus);
        EXPECT_EQ(mapped, c.expected != nullptr);
        if (mapped && c.expected) {
            EXPECT_EQ(FormatSnesAddress(bus), c.expected);
        }
    }
}

}  // namespace
