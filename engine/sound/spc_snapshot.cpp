#include "engine/sound/spc_snapshot.h"

#include <cstring>

namespace {

constexpr char kSignature[] = "SNES-SPC700 Sound File Data";
constexpr size_t kRegisters = 0x25;
constexpr size_t kTagFlag = 0x23;
constexpr size_t kRam = 0x100;
constexpr size_t kDsp = 0x10100;
constexpr size_t kExtraRam = 0x101C0;
constexpr size_t kLength = 0xA9;      // 3 bytes
constexpr size_t kFade = 0xAC;        // 5 bytes as text, 4 as binary
constexpr size_t kTextArtist = 0xB1;  // the text form's fade ends at 0xB0

// Digits followed by NULs only (or nothing at all).
bool IsTextNumber(const uint8_t* field, size_t size) {
    size_t i = 0;
    while (i < size && field[i] >= '0' && field[i] <= '9') ++i;
    while (i < size && field[i] == 0) ++i;
    return i == size;
}

uint32_t TextNumber(const uint8_t* field, size_t size) {
    uint32_t value = 0;
    for (size_t i = 0; i < size && field[i] >= '0' && field[i] <= '9'; ++i) value = value * 10 + (field[i] - '0');
    return value;
}

uint32_t BinaryNumber(const uint8_t* field, size_t size) {
    uint32_t value = 0;
    for (size_t i = size; i-- > 0;) value = value << 8 | field[i];
    return value;
}

// The tag's two forms store the length and fade as text or as binary; text
// is taken when both fields read as text numbers.
void ReadLengthAndFade(const uint8_t* data, SpcSnapshot& snapshot) {
    const uint8_t* length = data + kLength;
    const uint8_t* fade = data + kFade;
    if (IsTextNumber(length, 3) && IsTextNumber(fade, kTextArtist - kFade)) {
        snapshot.lengthSeconds = TextNumber(length, 3);
        snapshot.fadeMilliseconds = TextNumber(fade, kTextArtist - kFade);
    } else {
        snapshot.lengthSeconds = BinaryNumber(length, 3);
        snapshot.fadeMilliseconds = BinaryNumber(fade, 4);
    }
}

}  // namespace

bool ReadSpcSnapshot(const uint8_t* data, size_t size, SpcSnapshot& snapshot) {
    size_t signature = sizeof kSignature - 1;
    if (size < kDsp + 128 || std::memcmp(data, kSignature, signature) != 0) return false;
    const uint8_t* r = data + kRegisters;
    snapshot.cpu.pc = static_cast<uint16_t>(r[0] | r[1] << 8);
    snapshot.cpu.a = r[2];
    snapshot.cpu.x = r[3];
    snapshot.cpu.y = r[4];
    snapshot.cpu.psw = r[5];
    snapshot.cpu.sp = r[6];
    std::memcpy(snapshot.ram.data(), data + kRam, snapshot.ram.size());
    std::memcpy(snapshot.dsp.data(), data + kDsp, snapshot.dsp.size());
    snapshot.extraRam.fill(0);
    if (size >= kExtraRam + snapshot.extraRam.size())
        std::memcpy(snapshot.extraRam.data(), data + kExtraRam, snapshot.extraRam.size());
    snapshot.hasTag = data[kTagFlag] == 26;
    snapshot.lengthSeconds = 0;
    snapshot.fadeMilliseconds = 0;
    if (snapshot.hasTag) ReadLengthAndFade(data, snapshot);
    return true;
}
