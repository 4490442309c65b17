#include "engine/inputs/spc_file.h"

#include <cstring>

#include "engine/brr/brr_block.h"
#include "engine/brr/brr_chip_decoder.h"
#include "engine/files/little_endian.h"

namespace {

constexpr char kSignature[] = "SNES-SPC700 Sound File Data";
constexpr uint8_t kDirRegister = 0x5D;
// Pages 0 and 1 are the direct page and the stack: a DIR of 0 or 1 was
// never set, and no sample starts there.
constexpr uint32_t kFirstSamplePage = 2;

// Whether the half-open ranges [a, a + an) and [b, b + bn) meet.
bool Overlaps(uint32_t a, uint32_t an, uint32_t b, uint32_t bn) { return a < b + bn && b < a + an; }

uint32_t ChainBytes(const SpcSample& sample) { return sample.end + kBlockBytes - sample.start; }

bool OnChainBlock(const SpcSample& sample, uint32_t address) {
    return address >= sample.start && address <= sample.end && (address - sample.start) % kBlockBytes == 0;
}

// A start word that marks a slot the driver left unused.
bool IsUnusedSlot(uint16_t start) { return start == 0x0000 || start == 0xFFFF; }

// Whether entry i of a directory at address describes a sample, given the
// samples accepted before it.
bool ReadEntry(const uint8_t* aram, uint32_t address, uint32_t i, const std::vector<SpcSample>& earlier,
               SpcSample& sample) {
    uint32_t at = address + 4 * i;
    sample = SpcSample{i, GetLe16(aram + at), 0, GetLe16(aram + at + 2), LoopKind::None, 0, -1};
    if (sample.start < kFirstSamplePage * 0x100) return false;
    if (!FindChainEnd(aram, sample.start, sample.end)) return false;
    // Neither may a sample cover the entries read so far, nor may this
    // entry lie inside an earlier sample: what follows a real directory is
    // often sample data that reads like entries.
    uint32_t entriesBytes = 4 * (i + 1);
    if (Overlaps(sample.start, ChainBytes(sample), address, entriesBytes)) return false;
    for (const SpcSample& before : earlier)
        if (Overlaps(before.start, ChainBytes(before), at, 4)) return false;
    for (const SpcSample& before : earlier) {
        if (before.start == sample.start && before.loopWord == sample.loopWord) {
            sample.sameAs = static_cast<int32_t>(before.sameAs >= 0 ? before.sameAs : before.index);
            break;
        }
    }
    ResolveLoop(aram, sample);
    return true;
}

// Whether the loop word names a block of the sample's own chain, as an
// address or as an offset, whether or not the end block loops.
bool LoopWordOnChain(const SpcSample& sample) {
    return OnChainBlock(sample, sample.loopWord) || OnChainBlock(sample, sample.start + sample.loopWord);
}

bool StartsSamples(const uint8_t* aram, uint32_t page) {
    return page >= kFirstSamplePage && !ReadDirectory(aram, page * 0x100).empty();
}

// Searches the driver's code for the stores that set DIR; returns the page
// of the first whose directory holds samples, or 0.
uint32_t DirPageFromCode(const uint8_t* aram) {
    uint32_t page = 0;
    for (uint32_t at = 0; at < kAramBytes; ++at)
        if (DirStoreAt(aram, kAramBytes, at, page) && StartsSamples(aram, page)) return page;
    return 0;
}

}  // namespace

bool HasSpcSignature(const uint8_t* data, size_t size) {
    size_t length = sizeof kSignature - 1;
    return size >= length && std::memcmp(data, kSignature, length) == 0;
}

bool DirStoreAt(const uint8_t* code, uint32_t size, uint32_t at, uint32_t& page) {
    struct Pattern {
        uint8_t bytes[8];
        unsigned length;
        unsigned valueAt;  // position of the page byte
    };
    // mov $F2,#$5D / mov $F3,#xx; the same through A; A=#$5D, Y=#xx, movw $F2,YA.
    static const Pattern kPatterns[] = {
        {{0x8F, 0x5D, 0xF2, 0x8F, 0x00, 0xF3}, 6, 4},
        {{0xE8, 0x5D, 0xC4, 0xF2, 0xE8, 0x00, 0xC4, 0xF3}, 8, 5},
        {{0xE8, 0x5D, 0x8D, 0x00, 0xDA, 0xF2}, 6, 3},
    };
    for (const Pattern& pattern : kPatterns) {
        if (at + pattern.length > size) continue;
        bool match = true;
        for (unsigned k = 0; k < pattern.length && match; ++k)
            match = k == pattern.valueAt || code[at + k] == pattern.bytes[k];
        if (match) {
            page = code[at + pattern.valueAt];
            return true;
        }
    }
    return false;
}

uint32_t SpcSample::Blocks() const { return BlocksInRun(start, end); }

uint32_t SpcSample::LoopStartSample() const { return (loopAddress - start) / kBlockBytes * kSamplesPerBlock; }

bool FindChainEnd(const uint8_t* aram, uint32_t start, uint32_t& end) {
    // The chip plays every header, ranges 13 to 15 included: a driver's
    // samples may hold them.
    for (uint32_t at = start; at + kBlockBytes <= kAramBytes; at += kBlockBytes) {
        if (aram[at] & kEndFlag) {
            end = at;
            return true;
        }
    }
    return false;
}

void ResolveLoop(const uint8_t* aram, SpcSample& sample) {
    if (!(aram[sample.end] & kLoopFlag)) {
        sample.loop = LoopKind::None;
    } else if (OnChainBlock(sample, sample.loopWord)) {
        sample.loop = LoopKind::Address;
        sample.loopAddress = sample.loopWord;
    } else if (OnChainBlock(sample, sample.start + sample.loopWord)) {
        sample.loop = LoopKind::Offset;
        sample.loopAddress = sample.start + sample.loopWord;
    } else {
        sample.loop = LoopKind::Unknown;
    }
}

std::vector<SpcSample> ReadDirectory(const uint8_t* aram, uint32_t address) {
    std::vector<SpcSample> samples;
    bool afterUnused = false;
    // The directory ends where audio RAM does; wrapping would read the
    // direct page as entries.
    for (uint32_t i = 0; i < kMaxDirectoryEntries && address + 4 * i + 4 <= kAramBytes; ++i) {
        if (IsUnusedSlot(GetLe16(aram + address + 4 * i))) {
            afterUnused = true;
            continue;
        }
        SpcSample sample{};
        if (!ReadEntry(aram, address, i, samples, sample)) break;
        // Past a zeroed stretch lies whatever follows the table; only an
        // entry whose loop word fits its own chain is believed there.
        if (afterUnused && !LoopWordOnChain(sample)) break;
        samples.push_back(sample);
    }
    return samples;
}

SampleDirectory FindSampleDirectory(const uint8_t* aram, const uint8_t* dsp) {
    SampleDirectory directory;
    uint32_t page = dsp[kDirRegister];
    if (StartsSamples(aram, page)) {
        directory.source = DirectorySource::Register;
    } else if ((page = DirPageFromCode(aram)) != 0) {
        directory.source = DirectorySource::Code;
    } else {
        return directory;
    }
    directory.address = page * 0x100;
    directory.samples = ReadDirectory(aram, directory.address);
    return directory;
}
